// The day at a glance: clock, what plays, whether bells ring today and why, the alarm, the signals.
import { useEffect, useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import { NULL_ID, type NextBell, type Overview, type QuietToday, type SignalRow, type Status } from '../api/types';
import { useBellsOn } from '../bells';
import { refreshPlaying, usePlaying } from '../playing';
import { ClockWarning, NextBellLine, TodayBellsCard } from '../components/DayAtAGlance';
import { QuietCard } from '../components/QuietCard';
import { TomorrowCard } from '../components/TomorrowCard';
import { DayLegend, MonthGrid, NoHolidayData } from '../components/MonthGrid';
import { Icon } from '../components/Icon';
import { ListenButton } from '../components/Listen';
import { Button, ButtonLink, Card, LoadError, Loading, Outcome, useConfirm } from '../components/ui';
import { dayBells, explainToday } from '../lib/calendar';
import { timetableLabel } from '../lib/forms';
import { soundNoteMs, useAction, useTitle } from '../lib/hooks';
import { quietNow, sayTime, silentBells } from '../lib/playLog';
import { useDashboard } from '../lib/useDashboard';
import { describeDate, formatDate, formatDuration } from '../lib/time';
import { asksBeforePlaying, stopAskingToday } from '../lib/askBeforePlaying';
import { browserToday } from '../i18n/format';
import { Link } from '../router';
import { versionText } from '../lib/version';
import { t } from '../i18n';
import { signalName, timetableName } from '../i18n/factoryNames';
import { explainServerText } from '../i18n/serverTexts';
import './Dashboard.css';

const FOLLOW_CALENDAR = '';

export function Dashboard() {
  useTitle(t('dashboard.title'));
  const { data, refresh } = useDashboard();
  const { overview, status, day, errors } = data;

  const bellsOn = useBellsOn();
  // What sounds now: the same answer as the alarm banner of every page.
  const playing = usePlaying();
  const isPlaying = playing?.isPlaying ?? data.status?.isPlaying;
  const afterPlay = (...parts: Parameters<typeof refresh>) => Promise.all([refresh(...parts), refreshPlaying()]).then(() => undefined);
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
      <h1 class="visually-hidden">{t('dashboard.title')}</h1>
      {data.warnings?.map((warning) => (
        <p class="notice notice-error" key={warning}>
          <Icon name="alarm" size={18} />
          <span>{explainServerText(warning)}</span>
        </p>
      ))}
      {overview.passwordMissing && (
        <p class="notice notice-warn">
          <Icon name="alarm" size={18} />
          <span>
            {t('dashboard.noPassword')}{' '}
            <Link href="/settings#password">{t('dashboard.setPassword')}</Link>
          </span>
        </p>
      )}
      <ClockWarning health={data.clockHealth} />
      <div class="dash-top">
        <ClockCard status={status} isPlaying={isPlaying} statusError={errors.status ?? null} overview={overview} next={day?.next} quiet={day?.quiet} signals={data.signals} onPlayerChanged={() => afterPlay('status')} />
        <AlarmCard active={playing?.alarmActive ?? overview.alarmActive} unreachable={data.unreachable} onChanged={() => afterPlay('overview')} />
      </div>
      <div class="dash-grid">
        <TodayCard
          overview={overview}
          bellsOn={bellsSwitchedOn}
          silent={day ? silentBells(day.bells) : 0}
          selected={data.settings?.dailyPreferences.selectedTimetableId ?? null}
          onChanged={() => refresh('overview', 'settings')}
        />
        <TomorrowCard timetables={overview.timetables} today={overview.activeTimetableInfo.date} />
        <QuietCard quiet={day?.quiet} planned={day?.planned} nextBell={day?.next} onChanged={refreshDay} />
        <SignalsCard
          signals={data.signals}
          alarmSignalId={data.settings?.alarmSignalId}
          error={errors.signals ?? null}
          retry={() => void refresh('signals')}
          isPlaying={isPlaying}
          onPlayed={() => afterPlay('status')}
        />
        <TodayBellsCard bells={day?.bells} error={errors.day ?? null} signals={data.signals} onChanged={refreshDay} />
        <Card
          title={t('dashboard.thisMonth')}
          class="dash-calendar"
          id="dash-calendar"
          actions={
            <ButtonLink href="/calendar" icon="calendar">
              {t('dashboard.openCalendar')}
            </ButtonLink>
          }
        >
          <NoHolidayData lastUpdate={data.calendarInfo?.lastUpdate} />
          <MonthGrid month={overview.calendar} timetables={overview.timetables} bellsOn={bellsSwitchedOn} planned={day?.planned} compact />
          <DayLegend />
        </Card>
      </div>
    </div>
  );
}

function ClockCard({
  status,
  isPlaying,
  statusError,
  overview,
  next,
  quiet,
  signals,
  onPlayerChanged,
}: {
  status: Status | undefined;
  isPlaying: boolean | undefined;
  statusError: string | null;
  overview: Overview;
  next: NextBell | null | undefined;
  quiet: QuietToday | undefined;
  signals: SignalRow[] | undefined;
  onPlayerChanged: () => Promise<void>;
}) {
  const stop = useAction();
  const time = status?.time ?? overview.time;
  return (
    <Card class="clock-card" title={t('dashboard.now')} id="clock">
      <p class="clock" aria-live="off">
        <time dateTime={time}>{sayTime(time, true)}</time>
      </p>
      <p class="clock-date">{describeDate(overview.activeTimetableInfo.date)}</p>
      <NextBellLine next={next} time={time} signals={signals} />
      <QuietNowLine quiet={quiet} time={time} />
      <div class="playing-row">
        <span class={`playing-state ${isPlaying ? 'is-playing' : ''}`} role="status">
          <span class="dot" aria-hidden="true" />
          {isPlaying === undefined ? t('dashboard.checkingPlayer') : isPlaying ? t('dashboard.playingNow') : t('dashboard.nothingPlaying')}
        </span>
        <Button
          icon="stop"
          small
          busy={stop.busy}
          disabled={!isPlaying}
          onClick={() =>
            stop.run(
              async () => {
                await api.trigger('stopAll');
                await onPlayerChanged();
              },
              t('dashboard.stopped'),
              4000,
            )
          }
        >
          {t('dashboard.stop')}
        </Button>
      </div>
      {statusError && <Outcome error={statusError} />}
      <Outcome action={stop} />
      {status && <p class="version">{versionText(status.version)}</p>}
    </Card>
  );
}

/** While a quiet period runs: until when the bells are quiet, and what for. */
function QuietNowLine({ quiet, time }: { quiet: QuietToday | undefined; time: string }) {
  const now = quiet ? quietNow(quiet, time) : null;
  if (!now) return null;
  const until = sayTime(now.until);
  return (
    <p class="quiet-now" role="status" data-testid="quiet-now">
      <Icon name="close" size={18} />
      {now.name ? t('dashboard.quietUntilNamed', { time: until, name: now.name }) : t('dashboard.quietUntil', { time: until })}
    </p>
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
      title: t('dashboard.alarmConfirmTitle'),
      message: <p>{t('dashboard.alarmConfirmText')}</p>,
      confirmLabel: t('dashboard.alarmConfirm'),
      danger: true,
    });
    if (yes) await toggleAlarm();
  };
  const reason = unreachable ? (
    <p class="notice notice-error" id="alarm-unreachable">
      <Icon name="alarm" size={18} />
      <span>{active ? t('dashboard.alarmUnreachableStop') : t('dashboard.alarmUnreachableStart')}</span>
    </p>
  ) : null;
  const described = unreachable ? 'alarm-unreachable' : undefined;
  return (
    <Card class={`alarm-card ${active ? 'alarm-on' : ''}`} title={t('dashboard.alarm')} id="alarm">
      {active ? (
        <>
          <p class="alarm-state" role="status">
            <Icon name="alarm" size={22} /> {t('dashboard.alarmSounding')}
          </p>
          {reason}
          <button type="button" class="alarm-button alarm-stop" onClick={toggleAlarm} disabled={toggle.busy || unreachable} aria-describedby={described}>
            <Icon name="stop" size={28} />
            {t('dashboard.stopAlarm')}
          </button>
        </>
      ) : (
        <>
          <p class="alarm-state">{t('dashboard.alarmOff')}</p>
          {reason}
          <button type="button" class="alarm-button" onClick={start} disabled={toggle.busy || unreachable} aria-describedby={described}>
            <Icon name="alarm" size={28} />
            {t('dashboard.alarm')}
          </button>
        </>
      )}
      <Outcome action={toggle} />
      {confirm.element}
    </Card>
  );
}

function TodayCard({
  overview,
  bellsOn,
  silent,
  selected,
  onChanged,
}: {
  overview: Overview;
  bellsOn: boolean;
  /** How many of today's bells that were due did not ring. */
  silent: number;
  selected: string | null;
  onChanged: () => Promise<void>;
}) {
  const choose = useAction();
  const info = overview.activeTimetableInfo;
  const bells = dayBells(info, overview.timetables, bellsOn && info.source !== 'DISABLED');
  const explained = explainToday(info, overview.timetables, overview.calendar.defaultTimetableId);
  const current = selected ?? FOLLOW_CALENDAR;
  // The choice waits for a confirmation: a stray arrow key on the list must not change the bells.
  const [pending, setPending] = useState<string | null>(null);
  const shown = pending ?? current;
  const apply = async () => {
    if (pending === null) return;
    const value = pending;
    const ok = await choose.run(async () => {
      await api.updateSettings({ 'dailyPreferences.selectedTimetableId': value === FOLLOW_CALENDAR ? null : value });
      await onChanged();
    }, value === FOLLOW_CALENDAR ? t('dashboard.calendarDecidesAgain') : t('dashboard.todayTimetableChanged'));
    if (ok) setPending(null);
  };
  return (
    <Card title={t('dashboard.today')} class="today-card" id="today">
      <dl class="facts">
        <div>
          <dt>{t('dashboard.bellsToday')}</dt>
          <dd>
            <span class={`chip ${bells.rings ? 'chip-rings' : 'chip-silent'}`}>
              <Icon name={bells.rings ? 'bell' : 'close'} size={14} />
              {bells.rings ? t('dashboard.bellsRing') : t('dashboard.noBells')}
            </span>{' '}
            {bells.rings && <strong data-testid="active-timetable">{bells.title}</strong>}
            <span class="reason">{explained.reason}</span>
            {silent > 0 && (
              <a class="reason silent-bells" href="#today-bells" data-testid="silent-bells">
                <Icon name="alarm" size={14} />
                {t('dashboard.silentBellsToday', { count: silent })}
              </a>
            )}
          </dd>
        </div>
        <div>
          <dt>{t('dashboard.kindOfDay')}</dt>
          <dd>
            <span class={`chip ${bells.kind.className}`}>{bells.kind.label}</span>
            {bells.overrides && <span class="reason">{t('dashboard.eventMakesBellsRing', { kind: bells.kind.inText })}</span>}
          </dd>
        </div>
        <div>
          <dt>{t('dashboard.nextProgrammeToday')}</dt>
          <dd>{info.programmeToday ?? <span class="muted">{t('dashboard.none')}</span>}</dd>
        </div>
      </dl>
      <div class="field">
        <label for="today-choice">{t('dashboard.todayTimetable')}</label>
        <select id="today-choice" value={shown} disabled={choose.busy} onChange={(e) => setPending(e.currentTarget.value === current ? null : e.currentTarget.value)}>
          <option value={FOLLOW_CALENDAR}>{t('dashboard.asCalendarSays')}</option>
          {overview.timetables.map((tt) => (
            <option key={tt.id} value={tt.id}>
              {timetableName(tt.id, tt.name)}
            </option>
          ))}
          <option value={NULL_ID}>{t('dashboard.noBellsToday')}</option>
        </select>
        <small class="hint">{t('dashboard.untilMidnight')}</small>
      </div>
      {pending !== null && (
        <div class="confirm-inline" role="group" aria-labelledby="today-confirm">
          <p id="today-confirm">
            {pending === NULL_ID
              ? t('dashboard.confirmNoBells')
              : pending === FOLLOW_CALENDAR
                ? t('dashboard.confirmCalendar')
                : t('dashboard.confirmTimetable', { timetable: timetableLabel(pending, overview.timetables) })}
          </p>
          <div class="button-row">
            <Button variant="primary" icon="check" busy={choose.busy} onClick={apply}>
              {t('dashboard.confirm')}
            </Button>
            <Button onClick={() => setPending(null)} disabled={choose.busy}>
              {t('dashboard.keepAsItIs')}
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
  alarmSignalId,
  error,
  retry,
  isPlaying,
  onPlayed,
}: {
  signals: SignalRow[] | undefined;
  /** The alarm's own signal: the alarm card plays it, not a button among the others. */
  alarmSignalId: string | undefined;
  error: string | null;
  retry: () => void;
  isPlaying: boolean | undefined;
  onPlayed: () => Promise<void>;
}) {
  const play = useAction();
  const confirm = useConfirm();
  const [last, setLast] = useState<string | null>(null);
  const startedAt = useRef(0);
  const playNow = (s: SignalRow, name: string) => {
    setLast(s.id);
    startedAt.current = Date.now();
    void play.run(
      async () => {
        await api.trigger('playSignal', s.id);
        await onPlayed();
      },
      t('dashboard.playingSignal', { name }),
      soundNoteMs(s.lengthSec),
    );
  };
  const ask = async (s: SignalRow, name: string) => {
    const day = formatDate(browserToday());
    if (!asksBeforePlaying(day)) return playNow(s, name);
    let notAgain = false;
    const yes = await confirm.ask({
      title: t('dashboard.playEverywhereTitle'),
      message: (
        <>
          <p>{t('dashboard.playEverywhereText', { name })}</p>
          <label class="check">
            <input type="checkbox" onChange={(e) => (notAgain = e.currentTarget.checked)} />
            {t('dashboard.playEverywhereNotAgain')}
          </label>
        </>
      ),
      confirmLabel: t('dashboard.playEverywhere'),
    });
    if (!yes) return;
    if (notAgain) stopAskingToday(day);
    playNow(s, name);
  };
  // "Playing" stops being true when the player has nothing left: the status tells within a second.
  useEffect(() => {
    if (isPlaying === false && play.done && Date.now() - startedAt.current > 1500) play.clear();
  }, [isPlaying]);
  return (
    <Card
      title={t('dashboard.playOnLoudspeakers')}
      class="signals-card"
      id="play-signal"
      actions={
        <ButtonLink href="/signals" icon="list">
          {t('dashboard.allSignals')}
        </ButtonLink>
      }
    >
      <p class="hint">{t('dashboard.signalsHint')}</p>
      {error && !signals && <LoadError error={error} retry={retry} />}
      {!signals && !error && <Loading />}
      {signals && (
        <ul class="signal-buttons">
          {signals.filter((s) => s.id !== alarmSignalId).map((s) => {
            const name = signalName(s.id, s.name);
            return (
              <li key={s.id} class="signal-item">
                <button
                  type="button"
                  class="signal-button"
                  aria-label={t('dashboard.playSignalLabel', { name, length: formatDuration(s.lengthSec) })}
                  disabled={play.busy && last === s.id}
                  onClick={() => void ask(s, name)}
                >
                  <Icon name="speaker" size={16} />
                  <span class="signal-words">
                    <span class="signal-name">{name}</span>
                    <small class="signal-where">{t('dashboard.onAllLoudspeakers')}</small>
                  </span>
                  <span class="signal-length">{formatDuration(s.lengthSec)}</span>
                </button>
                <ListenButton id={s.id} name={name} />
              </li>
            );
          })}
        </ul>
      )}
      <Outcome action={play} />
      {confirm.element}
      <LoudspeakerTest onPlayed={onPlayed} />
    </Card>
  );
}

/** A short, quiet sound on every loudspeaker, to check that each room hears the bells. */
function LoudspeakerTest({ onPlayed }: { onPlayed: () => Promise<void> }) {
  const test = useAction();
  return (
    <div class="loudspeaker-test">
      <Button
        icon="speaker"
        busy={test.busy}
        onClick={() =>
          void test.run(
            async () => {
              await api.trigger('testLoudspeakers');
              await onPlayed();
            },
            t('dashboard.loudspeakerTestPlaying'),
            soundNoteMs(3),
          )
        }
      >
        {t('dashboard.loudspeakerTest')}
      </Button>
      <small class="hint">{t('dashboard.loudspeakerTestHint')}</small>
      <Outcome action={test} />
    </div>
  );
}
