// The dashboard's view of the school's day: the next bell with a live countdown, today's bells
// with what became of each, the quiet periods of today, and the clock warning.
import { useState } from 'preact/hooks';
import { api } from '../api/client';
import type { ClockHealth, NextBell, QuietToday, SignalRow, TodayBell } from '../api/types';
import { t } from '../i18n';
import { checkQuietPeriod, clockWarning, countdown, describeQuiet, markText, signalByName, sourceLabel } from '../lib/playLog';
import { secondsUntil } from '../lib/dashboardPoll';
import { useAction } from '../lib/hooks';
import { Icon } from './Icon';
import { TimeInput } from './TimeInput';
import { Button, ButtonLink, Card, Field, LoadError, Loading, Outcome } from './ui';
import './DayAtAGlance.css';

/** "10:25" for "10:25:00", the full text when the seconds count. */
export const shortTime = (at: string): string => (at.endsWith(':00') ? at.slice(0, 5) : at);

export function ClockWarning({ health }: { health: ClockHealth | undefined }) {
  const warning = clockWarning(health);
  if (!warning) return null;
  return (
    <p class="notice notice-warn" role="alert" id="clock-warning">
      <Icon name="clock" size={18} />
      <span>{warning}</span>
    </p>
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
  quiet,
  nextBell,
  signals,
  onChanged,
}: {
  bells: TodayBell[] | undefined;
  error: string | null;
  quiet: QuietToday | undefined;
  nextBell: NextBell | null | undefined;
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
      <QuietControls quiet={quiet} nextBell={nextBell} onChanged={onChanged} />
      {error && !bells && <LoadError error={error} retry={onChanged} />}
      {!bells && !error && <Loading />}
      {bells && bells.length === 0 && <p class="muted">{t('dayGlance.noBellsToday')}</p>}
      {bells && bells.length > 0 && (
        <ol class="bell-list">
          {bells.map((bell) => {
            const mark = markText(bell.mark, bell.started, bell.lateMs, bell.detail);
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

function QuietControls({ quiet, nextBell, onChanged }: { quiet: QuietToday | undefined; nextBell: NextBell | null | undefined; onChanged: () => Promise<void> }) {
  const [from, setFrom] = useState('');
  const [to, setTo] = useState('');
  const [formError, setFormError] = useState<string | null>(null);
  const action = useAction();
  const said = quiet ? describeQuiet(quiet) : [];
  const invalid = formError ? { 'aria-invalid': true, 'aria-describedby': 'quiet-error' } : {};
  const mute = async (e: Event) => {
    e.preventDefault();
    const checked = checkQuietPeriod(from, to);
    if (!checked.ok) {
      setFormError(checked.error);
      return;
    }
    setFormError(null);
    const ok = await action.run(async () => {
      await api.trigger('muteBells', 'today', { from: checked.from, to: checked.to });
      await onChanged();
    }, t('dayGlance.keptQuiet', { from: checked.from, to: checked.to }));
    if (ok) {
      setFrom('');
      setTo('');
    }
  };
  return (
    <div class="quiet" id="quiet">
      {said.length > 0 && (
        <div class="notice notice-quiet" role="status">
          <Icon name="close" size={18} />
          <div>
            {said.map((line) => (
              <p key={line}>{line}</p>
            ))}
          </div>
          <Button
            small
            icon="bell"
            busy={action.busy}
            onClick={() =>
              action.run(async () => {
                await api.trigger('clearQuiet', 'today');
                await onChanged();
              }, t('dayGlance.ringAgain'))
            }
          >
            {t('dayGlance.endQuiet')}
          </Button>
        </div>
      )}
      <form class="quiet-form" onSubmit={mute} noValidate aria-label={t('dayGlance.keepQuiet')}>
        <Field id="quiet-from" label={t('dayGlance.quietFrom')}>
          <TimeInput id="quiet-from" value={from} onChange={setFrom} {...invalid} />
        </Field>
        <Field id="quiet-to" label={t('dayGlance.quietTo')}>
          <TimeInput id="quiet-to" value={to} onChange={setTo} {...invalid} />
        </Field>
        <Button type="submit" icon="stop" busy={action.busy}>
          {t('dayGlance.keepQuiet')}
        </Button>
        <Button
          icon="right"
          disabled={!nextBell}
          busy={action.busy}
          onClick={() =>
            action.run(async () => {
              await api.trigger('skipNextBell', 'today');
              await onChanged();
            }, nextBell ? t('dayGlance.skipped', { at: shortTime(nextBell.at) }) : undefined)
          }
        >
          {t('dayGlance.skipNextBell')}
        </Button>
      </form>
      {formError && (
        <p class="field-error" id="quiet-error" role="alert">
          {formError}
        </p>
      )}
      <p class="hint">{t('dayGlance.quietHint')}</p>
      <Outcome action={action} />
    </div>
  );
}
