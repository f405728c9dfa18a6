// Shown on every page for as long as the bells are switched off, with the way to switch them on.
import { switchBells, useBellsOn } from '../bells';
import { t } from '../i18n';
import { useAction } from '../lib/hooks';
import { Icon } from './Icon';
import { Button, Outcome } from './ui';

export function BellsOffBanner() {
  const bellsOn = useBellsOn();
  const action = useAction();
  if (bellsOn !== false) return null;
  return (
    <div class="page-banner bells-off" role="region" aria-label={t('bellsOff.region')}>
      <p class="page-banner-text">
        <Icon name="alarm" size={22} />
        <strong>{t('bellsOff.text')}</strong>
      </p>
      <Button variant="primary" icon="bell" busy={action.busy} onClick={() => action.run(() => switchBells(true))}>
        {t('bellsOff.switchOn')}
      </Button>
      <Outcome action={action} />
    </div>
  );
}
