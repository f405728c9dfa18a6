// The day at a glance: clock, what plays, today's timetable and why, the alarm, the signals.
import { useState } from 'preact/hooks';
import { api } from '../api/client';
import { NULL_ID, type Overview, type SignalRow, type Status } from '../api/types';
import { DayLegend, MonthGrid } from '../components/MonthGrid';
import { Icon } from '../components/Icon';
import { Button, ButtonLink, Card, LoadError, Loading, Outcome, useConfirm } from '../components/ui';
import { dayKindInfo, explainToday } from '../lib/calendar';
import { useAction, useLoad, usePolling, useTitle } from '../lib/hooks';
import { describeDate, formatDuration } from '../lib/time';
import { Link, navigate } from '../router';
import { setPasswordSet, welcomeDone } from '../session';

const FOLLOW_CALENDAR = '';

export function Dashboard() {
  useTitle('Dashboard');
  const status = useLoad(() => api.status());
  const overview = useLoad(async () => {
    const value = await api.overview();
    setPasswordSet(!value.passwordMissing);
    if (value.passwordMissing && !welcomeDone()) navigate('/welcome', { replace: true });
    return value;
  });
  const settings = useLoad(() => api.settings());
  const signals = useLoad(() => api.signals());
  const warnings = useLoad(() => api.startupWarnings());

  usePolling(status.reload, 1000);
  usePolling(overview.reload, 10000);

  if (overview.error && !overview.data) return <LoadError error={overview.error} retry={overview.reload} />;
  if (!overview.data) return <Loading />;
  const data = overview.data;

  return (
    <div class="dashboard">
      <h1 class="visually-hidden">Dashboard</h1>
      {warnings.data?.map((warning) => (
        <p class="notice notice-error" key={warning}>
          <Icon name="alarm" size={18} />
          <span>{warning}</span>
        </p>
      ))}
      {data.passwordMissing && (
        <p class="notice notice-warn">
          <Icon name="alarm" size={18} />
          <span>
            No password protects this interface: anybody who can reach this computer can change the bells.{' '}
            <Link href="/settings#password">Set a password</Link>
          </span>
        </p>
      )}
      <div class="dash-top">
        <ClockCard status={status.data} statusError={status.error} overview={data} />
        <AlarmCard active={data.alarmActive} onChanged={overview.reload} />
      </div>
      <div class="dash-grid">
        <TodayCard overview={data} selected={settings.data?.dailyPreferences.selectedTimetableId ?? null} onChanged={async () => {
          await Promise.all([overview.reload(), settings.reload()]);
        }} />
        <SignalsCard signals={signals.data} error={signals.error} retry={signals.reload} />
        <Card
          title="This month"
          class="dash-calendar"
          id="dash-calendar"
          actions={
            <ButtonLink href="/calendar" icon="calendar">
              Open calendar
            </ButtonLink>
          }
        >
          <MonthGrid month={data.calendar} timetables={data.timetables} compact />
          <DayLegend />
        </Card>
      </div>
    </div>
  );
}

function ClockCard({ status, statusError, overview }: { status: Status | undefined; statusError: string | null; overview: Overview }) {
  const stop = useAction();
  const time = status?.time ?? overview.time;
  return (
    <Card class="clock-card" title="Now" id="clock">
      <p class="clock" aria-live="off">
        <time>{time}</time>
      </p>
      <p class="clock-date">{describeDate(overview.activeTimetableInfo.date)}</p>
      <div class="playing-row">
        <span class={`playing-state ${status?.isPlaying ? 'is-playing' : ''}`} role="status">
          <span class="dot" aria-hidden="true" />
          {status === undefined ? 'Checking the player…' : status.isPlaying ? 'Playing now' : 'Nothing is playing'}
        </span>
        <Button
          icon="stop"
          small
          busy={stop.busy}
          disabled={!status?.isPlaying}
          onClick={() => stop.run(() => api.trigger('stopAll'), 'Stopped')}
        >
          Stop
        </Button>
      </div>
      {statusError && <Outcome error={statusError} />}
      <Outcome action={stop} />
      {status?.version && <p class="version">Version {status.version}</p>}
    </Card>
  );
}

function AlarmCard({ active, onChanged }: { active: boolean; onChanged: () => Promise<void> }) {
  const toggle = useAction();
  const confirm = useConfirm();
  const toggleAlarm = () =>
    toggle.run(async () => {
      await api.trigger('toggleAlarm');
      await onChanged();
    });
  const start = async () => {
    const yes = await confirm.ask({
      title: 'Sound the alarm?',
      message: <p>The alarm signal repeats over every loudspeaker until somebody stops it here.</p>,
      confirmLabel: 'Sound the alarm',
      danger: true,
    });
    if (yes) await toggleAlarm();
  };
  return (
    <Card class={`alarm-card ${active ? 'alarm-on' : ''}`} title="Alarm" id="alarm">
      {active ? (
        <>
          <p class="alarm-state" role="status">
            <Icon name="alarm" size={22} /> The alarm is sounding
          </p>
          <button type="button" class="alarm-button alarm-stop" onClick={toggleAlarm} disabled={toggle.busy}>
            <Icon name="stop" size={28} />
            Stop the alarm
          </button>
        </>
      ) : (
        <>
          <p class="alarm-state">The alarm is off.</p>
          <button type="button" class="alarm-button" onClick={start} disabled={toggle.busy}>
            <Icon name="alarm" size={28} />
            Alarm
          </button>
        </>
      )}
      <Outcome action={toggle} />
      {confirm.element}
    </Card>
  );
}

function TodayCard({ overview, selected, onChanged }: { overview: Overview; selected: string | null; onChanged: () => Promise<void> }) {
  const choose = useAction();
  const info = overview.activeTimetableInfo;
  const kind = dayKindInfo(info.typeOfDay);
  const explained = explainToday(info, overview.timetables, overview.calendar.defaultTimetableId);
  const change = (value: string) =>
    choose.run(async () => {
      await api.updateSettings({ 'dailyPreferences.selectedTimetableId': value === FOLLOW_CALENDAR ? null : value });
      await onChanged();
    }, value === FOLLOW_CALENDAR ? 'The calendar decides today again' : 'Today’s timetable changed');
  return (
    <Card title="Today" class="today-card" id="today">
      <dl class="facts">
        <div>
          <dt>Kind of day</dt>
          <dd>
            <span class={`chip ${kind.className}`}>{kind.label}</span>
          </dd>
        </div>
        <div>
          <dt>Timetable in force</dt>
          <dd>
            <strong data-testid="active-timetable">{explained.title}</strong>
            <span class="reason">{explained.reason}</span>
          </dd>
        </div>
        <div>
          <dt>Next programme today</dt>
          <dd>{info.programmeToday ?? <span class="muted">None</span>}</dd>
        </div>
      </dl>
      <div class="field">
        <label for="today-choice">Today’s timetable</label>
        <select
          id="today-choice"
          value={selected ?? FOLLOW_CALENDAR}
          disabled={choose.busy}
          onChange={(e) => change(e.currentTarget.value)}
        >
          <option value={FOLLOW_CALENDAR}>As the calendar says</option>
          {overview.timetables.map((t) => (
            <option key={t.id} value={t.id}>
              {t.name}
            </option>
          ))}
          <option value={NULL_ID}>No bells today</option>
        </select>
        <small class="hint">Applies until midnight.</small>
      </div>
      <Outcome action={choose} />
    </Card>
  );
}

function SignalsCard({ signals, error, retry }: { signals: SignalRow[] | undefined; error: string | null; retry: () => void }) {
  const play = useAction();
  const [last, setLast] = useState<string | null>(null);
  return (
    <Card
      title="Play a signal"
      class="signals-card"
      id="play-signal"
      actions={
        <ButtonLink href="/signals" icon="list">
          All signals
        </ButtonLink>
      }
    >
      {error && !signals && <LoadError error={error} retry={retry} />}
      {!signals && !error && <Loading />}
      {signals && (
        <ul class="signal-buttons">
          {signals.map((s) => (
            <li key={s.id}>
              <button
                type="button"
                class="signal-button"
                disabled={play.busy && last === s.id}
                onClick={() => {
                  setLast(s.id);
                  void play.run(() => api.trigger('playSignal', s.id), `Playing “${s.name}”`);
                }}
              >
                <Icon name="play" size={16} />
                <span class="signal-name">{s.name}</span>
                <span class="signal-length">{formatDuration(s.lengthSec)}</span>
              </button>
            </li>
          ))}
        </ul>
      )}
      <Outcome action={play} />
    </Card>
  );
}
