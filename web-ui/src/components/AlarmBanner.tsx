// Shown on every page while the alarm sounds, with the way to stop it.
import { api } from '../api/client';
import { t } from '../i18n';
import { useAction } from '../lib/hooks';
import { refreshPlaying, usePlaying } from '../playing';
import { Icon } from './Icon';
import { Button, Outcome } from './ui';

export function AlarmBanner() {
  const playing = usePlaying();
  const action = useAction();
  if (!playing?.alarmActive) return null;
  return (
    <div class="page-banner alarm-banner" role="alert">
      <p class="page-banner-text">
        <Icon name="alarm" size={22} />
        <strong>{t('dashboard.alarmSounding')}</strong>
      </p>
      <Button
        variant="danger"
        icon="stop"
        busy={action.busy}
        onClick={() =>
          // Stopping everything is the one way that cannot start the alarm again when it was
          // stopped elsewhere a moment before.
          action.run(async () => {
            await api.trigger('stopAll');
            await refreshPlaying();
          })
        }
      >
        {t('dashboard.stopAlarm')}
      </Button>
      <Outcome action={action} />
    </div>
  );
}
