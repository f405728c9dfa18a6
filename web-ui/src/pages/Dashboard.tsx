// The day at a glance: clock, what plays, whether bells ring today and why, the alarm, the signals.
import { useEffect, useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import { NULL_ID, type NextBell, type Overview, type SignalRow, type Status } from '../api/types';
import { useBellsOn } from '../bells';
import { ClockWarning, NextBellLine, TodayBellsCard } from '../components/DayAtAGlance';
import { DayLegend, MonthGrid } from '../components/MonthGrid';
import { Icon } from '../components/Icon';
import { ListenButton } from '../components/Listen';
import { Button, ButtonLink, Card, LoadError, Loading, Outcome, useConfirm } from '../components/ui';
import { dayBells, explainToday } from '../lib/calendar';
import { timetableLabel } from '../lib/forms';
import { soundNoteMs, useAction, useTitle } from '../lib/hooks';
import { useDashboard } from '../lib/useDashboard';
import { describeDate, formatDuration } from '../lib/time';
import { Link } from '../router';
import { versionText } from '../lib/version';
import './Dashboard.css';

const FOLLOW_CALENDAR = '';

export function Dashboard() {
  useTitle('Dashboard');
  const { data, refresh } = useDashboard();
  const { overview, status, day, errors } = data;

  const bellsOn = useBellsOn();
  // Switched on or off elsewhere (the banner, another browser): today's answer follows at once.
  useEffect(() => {
    const shownOff = overview?.activeTimetableInfo.source === 'DISABLED';
    if (bellsOn !== null && overview && shownOff === bellsOn) void refresh('overview');
  }, [bellsOn]);

  if (errors.overview && !overview) return <LoadError error={errors.overview} retry={() => refresh('overview')} />;
  if (!overview) return <Loading />;
  const bellsSwitchedOn = bellsOn ?? overview.activeTimetableInfo.source !== 'DISABLED';
  const refreshDay = () => refresh('day');

  return (
    <div class="dashboard">
      <h1 class="visually-hidden">Dashboard</h1>
      {data.warnings?.map((warning) => (
        <p class="notice notice-error" key={warning}>
          <Icon name="alarm" size={18} />
          <span>{warning}</span>
        </p>
      ))}
      {overview.passwordMissing && (
        <p class="notice notice-warn">
          <Icon name="alarm" size={18} />
          <span>
            No password protects this interface: anybody who can reach this computer can change the bells.{' '}
            <Link href="/settings#password">Set a password</Link>
          </span>
        </p>
      )}
      <ClockWarning health={data.clockHealth} />
      <div class="dash-top">
        <ClockCard status={status} statusError={errors.status ?? null} overview={overview} next={day?.next} onPlayerChanged={() => refresh('status')} />
        <AlarmCard active={overview.alarmActive} unreachable={data.unreachable} onChanged={() => refresh('overview')} />
      </div>
      <div class="dash-grid">
        <TodayCard
          overview={overview}
          bellsOn={bellsSwitchedOn}
          selected={data.settings?.dailyPreferences.selectedTimetableId ?? null}
          onChanged={() => refresh('overview', 'settings')}
        />
        <SignalsCard
          signals={data.signals}
          error={errors.signals ?? null}
          retry={() => void refresh('signals')}
          isPlaying={status?.isPlaying}
          onPlayed={() => refresh('status')}
        />
        <TodayBellsCard bells={day?.bells} error={errors.day ?? null} quiet={day?.quiet} nextBell={day?.next} onChanged={refreshDay} />
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
          <MonthGrid month={overview.calendar} timetables={overview.timetables} bellsOn={bellsSwitchedOn} compact />
          <DayLegend />
        </Card>
      </div>
    </div>
  );
}

function ClockCard({
  status,
  statusError,
  overview,
  next,
  onPlayerChanged,
}: {
  status: Status | undefined;
  statusError: string | null;
  overview: Overview;
  next: NextBell | null | undefined;
  onPlayerChanged: () => Promise<void>;
}) {
  const stop = useAction();
  const time = status?.time ?? overview.time;
  return (
    <Card class="clock-card" title="Now" id="clock">
      <p class="clock" aria-live="off">
        <time>{time}</time>
      </p>
      <p class="clock-date">{describeDate(overview.activeTimetableInfo.date)}</p>
      <NextBellLine next={next} time={time} />
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
          onClick={() =>
            stop.run(
              async () => {
                await api.trigger('stopAll');
                await onPlayerChanged();
              },
              'Stopped',
              4000,
            )
          }
        >
          Stop
        </Button>
      </div>
      {statusError && <Outcome error={statusError} />}
      <Outcome action={stop} />
      {status && <p class="version">{versionText(status.version)}</p>}
    </Card>
  );
}

function AlarmCard({ active, unreachable, onChanged }: { active: boolean; unreachable: boolean; onChanged: () => Promise<void> }) {
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
  const reason = unreachable ? (
    <p class="notice notice-error" id="alarm-unreachable">
      <Icon name="alarm" size={18} />
      <span>The server cannot be reached, so the alarm cannot be {active ? 'stopped' : 'sounded'} from here.</span>
    </p>
  ) : null;
  const described = unreachable ? 'alarm-unreachable' : undefined;
  return (
    <Card class={`alarm-card ${active ? 'alarm-on' : ''}`} title="Alarm" id="alarm">
      {active ? (
        <>
          <p class="alarm-state" role="status">
            <Icon name="alarm" size={22} /> The alarm is sounding
          </p>
          {reason}
          <button type="button" class="alarm-button alarm-stop" onClick={toggleAlarm} disabled={toggle.busy || unreachable} aria-describedby={described}>
            <Icon name="stop" size={28} />
            Stop the alarm
          </button>
        </>
      ) : (
        <>
          <p class="alarm-state">The alarm is off.</p>
          {reason}
          <button type="button" class="alarm-button" onClick={start} disabled={toggle.busy || unreachable} aria-describedby={described}>
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

function TodayCard({ overview, bellsOn, selected, onChanged }: { overview: Overview; bellsOn: boolean; selected: string | null; onChanged: () => Promise<void> }) {
  const choose = useAction();
  const info = overview.activeTimetableInfo;
  const bells = dayBells(info, overview.timetables, bellsOn && info.source !== 'DISABLED');
  const explained = explainToday(info, overview.timetables, overview.calendar.defaultTimetableId);
  const current = selected ?? FOLLOW_CALENDAR;
  // The choice waits for a confirmation: a stray arrow key on the list must not change the bells.
  const [pending, setPending] = useState<string | null>(null);
  const shown = pending ?? current;
  const choiceName = (value: string) => (value === FOLLOW_CALENDAR ? 'the calendar’s timetable' : timetableLabel(value, overview.timetables));
  const apply = async () => {
    if (pending === null) return;
    const value = pending;
    const ok = await choose.run(async () => {
      await api.updateSettings({ 'dailyPreferences.selectedTimetableId': value === FOLLOW_CALENDAR ? null : value });
      await onChanged();
    }, value === FOLLOW_CALENDAR ? 'The calendar decides today again' : 'Today’s timetable changed');
    if (ok) setPending(null);
  };
  return (
    <Card title="Today" class="today-card" id="today">
      <dl class="facts">
        <div>
          <dt>Bells today</dt>
          <dd>
            <span class={`chip ${bells.rings ? 'chip-rings' : 'chip-silent'}`}>
              <Icon name={bells.rings ? 'bell' : 'close'} size={14} />
              {bells.rings ? 'Bells ring' : 'No bells'}
            </span>{' '}
            {bells.rings && <strong data-testid="active-timetable">{bells.title}</strong>}
            <span class="reason">{explained.reason}</span>
          </dd>
        </div>
        <div>
          <dt>Kind of day</dt>
          <dd>
            <span class={`chip ${bells.kind.className}`}>{bells.kind.label}</span>
            {bells.overrides && <span class="reason">A calendar event makes the bells ring although today is a {bells.kind.label.toLowerCase()}.</span>}
          </dd>
        </div>
        <div>
          <dt>Next programme today</dt>
          <dd>{info.programmeToday ?? <span class="muted">None</span>}</dd>
        </div>
      </dl>
      <div class="field">
        <label for="today-choice">Today’s timetable</label>
        <select id="today-choice" value={shown} disabled={choose.busy} onChange={(e) => setPending(e.currentTarget.value === current ? null : e.currentTarget.value)}>
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
      {pending !== null && (
        <div class="confirm-inline" role="group" aria-labelledby="today-confirm">
          <p id="today-confirm">
            {pending === NULL_ID ? 'Ring no bells today, until midnight?' : `Ring by ${choiceName(pending)} today, until midnight?`}
          </p>
          <div class="button-row">
            <Button variant="primary" icon="check" busy={choose.busy} onClick={apply}>
              Confirm
            </Button>
            <Button onClick={() => setPending(null)} disabled={choose.busy}>
              Keep as it is
            </Button>
          </div>
        </div>
      )}
      <Outcome action={choose} />
    </Card>
  );
}

function SignalsCard({
  signals,
  error,
  retry,
  isPlaying,
  onPlayed,
}: {
  signals: SignalRow[] | undefined;
  error: string | null;
  retry: () => void;
  isPlaying: boolean | undefined;
  onPlayed: () => Promise<void>;
}) {
  const play = useAction();
  const [last, setLast] = useState<string | null>(null);
  const startedAt = useRef(0);
  // "Playing" stops being true when the player has nothing left: the status tells within a second.
  useEffect(() => {
    if (isPlaying === false && play.done && Date.now() - startedAt.current > 1500) play.clear();
  }, [isPlaying]);
  return (
    <Card
      title="Play on the loudspeakers"
      class="signals-card"
      id="play-signal"
      actions={
        <ButtonLink href="/signals" icon="list">
          All signals
        </ButtonLink>
      }
    >
      <p class="hint">A signal sounds over every loudspeaker at once. “Listen here” plays it in this browser only.</p>
      {error && !signals && <LoadError error={error} retry={retry} />}
      {!signals && !error && <Loading />}
      {signals && (
        <ul class="signal-buttons">
          {signals.map((s) => (
            <li key={s.id} class="signal-item">
              <button
                type="button"
                class="signal-button"
                aria-label={`${s.name}, ${formatDuration(s.lengthSec)}: play on the loudspeakers`}
                disabled={play.busy && last === s.id}
                onClick={() => {
                  setLast(s.id);
                  startedAt.current = Date.now();
                  void play.run(
                    async () => {
                      await api.trigger('playSignal', s.id);
                      await onPlayed();
                    },
                    `Playing “${s.name}” on the loudspeakers`,
                    soundNoteMs(s.lengthSec),
                  );
                }}
              >
                <Icon name="speaker" size={16} />
                <span class="signal-name">{s.name}</span>
                <span class="signal-length">{formatDuration(s.lengthSec)}</span>
              </button>
              <ListenButton id={s.id} name={s.name} iconOnly />
            </li>
          ))}
        </ul>
      )}
      <Outcome action={play} />
    </Card>
  );
}
