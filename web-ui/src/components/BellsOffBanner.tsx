// Shown on every page for as long as the bells are switched off, with when and from where they were
// switched off, and the way to switch them on.
import { useEffect, useState } from 'preact/hooks';
import { api } from '../api/client';
import type { BellsSwitched } from '../api/types';
import { switchBells, useBellsOn } from '../bells';
import { t } from '../i18n';
import { browserToday } from '../i18n/format';
import { bellsSwitchedText } from '../lib/alerts';
import { useAction } from '../lib/hooks';
import { formatDate } from '../lib/time';
import { Icon } from './Icon';
import { Button, Outcome } from './ui';

export function BellsOffBanner() {
  const bellsOn = useBellsOn();
  const action = useAction();
  const [switched, setSwitched] = useState<BellsSwitched | null>(null);
  // Asked each time the bells are found off: somebody may have switched them off from elsewhere.
  useEffect(() => {
    if (bellsOn !== false) return;
    let current = true;
    api.bellsSwitched().then(
      (answer) => current && setSwitched(answer),
      () => current && setSwitched(null), // unknown: the banner says no more than that they are off
    );
    return () => {
      current = false;
    };
  }, [bellsOn]);
  if (bellsOn !== false) return null;
  const when = bellsSwitchedText(switched, formatDate(browserToday()));
  return (
    <div class="page-banner bells-off" role="region" aria-label={t('bellsOff.region')}>
      <p class="page-banner-text">
        <Icon name="alarm" size={22} />
        <span>
          <strong>{t('bellsOff.text')}</strong>
          {when && <small class="page-banner-detail" data-testid="bells-off-when">{when}</small>}
        </span>
      </p>
      <Button variant="primary" icon="bell" busy={action.busy} onClick={() => action.run(() => switchBells(true))}>
        {t('bellsOff.switchOn')}
      </Button>
      <Outcome action={action} />
    </div>
  );
}
