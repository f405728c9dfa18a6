// The dashboard's view of the school's day: the next bell with a live countdown, today's bells
// with what became of each, and the clock warning.
import type { ClockHealth, NextBell, SignalRow, TodayBell } from '../api/types';
import { t } from '../i18n';
import { clockWarning, countdown, markText, signalByName, sourceLabel } from '../lib/playLog';
import { secondsUntil } from '../lib/dashboardPoll';
import { Icon } from './Icon';
import { ButtonLink, Card, LoadError, Loading } from './ui';
import './DayAtAGlance.css';

/** "10:25" for "10:25:00", the full text when the seconds count. */
export const shortTime = (at: string): string => (at.endsWith(':00') ? at.slice(0, 5) : at);

export function ClockWarning({ health }: { health: ClockHealth | undefined }) {
  const warning = clockWarning(health);
  if (!warning) return null;
  return (
    <div class="notice notice-warn" role="alert" id="clock-warning">
      <Icon name="clock" size={18} />
      <div class="notice-lines">
        <p>{warning}</p>
        <p>{t('dayGlance.clockWhatToCheck')}</p>
      </div>
    </div>
  );
}

/**
 * The next bell and the seconds until it by the clock shown beside it: both come from the
 * server's clock, so the countdown goes on with the clock, second by second.
 */
export function NextBellLine({ next, time, signals }: { next: NextBell | null | undefined; time: string; signals: SignalRow[] | undefined }) {
  if (next === undefined) return <p class="next-bell muted">{t('dayGlance.lookingForNextBell')}</p>;
  if (!next) return <p class="next-bell muted" data-testid="next-bell">{t('dayGlance.noMoreBells')}</p>;
  return (
    <p class="next-bell" data-testid="next-bell">
      <Icon name="bell" size={18} />
      <span>
        {t('dayGlance.nextBell')} <strong>{shortTime(next.at)}</strong>: {sourceLabel(next.source, next.lesson)}, {signalByName(next.songName, signals)}
      </span>
      <span class="countdown" aria-live="off" data-testid="countdown">
        {countdown(secondsUntil(next.at, time))}
      </span>
    </p>
  );
}

export function TodayBellsCard({
  bells,
  error,
  signals,
  onChanged,
}: {
  bells: TodayBell[] | undefined;
  error: string | null;
  signals: SignalRow[] | undefined;
  onChanged: () => Promise<void>;
}) {
  return (
    <Card
      title={t('dayGlance.todaysBells')}
      class="today-bells"
      id="today-bells"
      actions={
        <ButtonLink href="/log" icon="list">
          {t('dayGlance.playLog')}
        </ButtonLink>
      }
    >
      {error && !bells && <LoadError error={error} retry={onChanged} />}
      {!bells && !error && <Loading />}
      {bells && bells.length === 0 && <p class="muted">{t('dayGlance.noBellsToday')}</p>}
      {bells && bells.length > 0 && (
        <ol class="bell-list">
          {bells.map((bell) => {
            const mark = markText(bell.mark, bell.started, bell.lateMs, bell.detail, bell.systemStarted);
            return (
              <li key={`${bell.at}-${bell.source}-${bell.lesson}`} class={`bell-row mark-${mark.tone}`} data-testid="today-bell">
                <span class="bell-at">{shortTime(bell.at)}</span>
                <span class="bell-what">
                  {sourceLabel(bell.source, bell.lesson)}
                  <span class="muted"> · {signalByName(bell.songName, signals)}</span>
                </span>
                <span class="bell-mark">
                  {mark.text}
                  {mark.detail && <small>{mark.detail}</small>}
                </span>
              </li>
            );
          })}
        </ol>
      )}
    </Card>
  );
}

