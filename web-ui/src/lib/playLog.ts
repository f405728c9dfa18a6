// How the interface words what rang, what rings next and how far the clock can be trusted.
import type { BellMark, ClockHealth, NamedId, PlannedQuiet, PlaySource, QuietToday, TodayBell } from '../api/types';
import { intlLocale, PRODUCT_NAME, t, type MessageKey } from '../i18n';
import { signalName } from '../i18n/factoryNames';
import { explainPlayDetail } from '../i18n/serverTexts';
import { clockTime, inTime } from '../i18n/format';
import { compareDates, parseDate, parseTime, timeToSeconds, type CalendarDate } from './time';
import { nameTooLong } from './forms';

/** Each source's words with the lesson's number, and without one. */
const SOURCES: Record<PlaySource, { lesson?: MessageKey; plain: MessageKey }> = {
  lessonStart: { lesson: 'playLog.lessonStart', plain: 'playLog.lessonStartAny' },
  lessonEnd: { lesson: 'playLog.lessonEnd', plain: 'playLog.lessonEndAny' },
  preStart: { lesson: 'playLog.preStart', plain: 'playLog.preStartAny' },
  preEnd: { lesson: 'playLog.preEnd', plain: 'playLog.preEndAny' },
  extraPlay: { plain: 'playLog.extraBell' },
  programme: { plain: 'playLog.programme' },
  alarm: { plain: 'playLog.alarm' },
  announcement: { plain: 'playLog.announcement' },
  manual: { plain: 'playLog.playedByHand' },
};

/** What made a play, as a sentence fragment: "Start of lesson 2", "Extra bell". */
export function sourceLabel(source: PlaySource, lesson: number | null): string {
  const words = SOURCES[source];
  return words.lesson && lesson !== null ? t(words.lesson, { lesson }) : t(words.plain);
}

/**
 * The name to show for a signal that an answer gives by its stored name only (the next bell,
 * today's bells): a built-in one in the active language when the signals leave no doubt which one
 * it is, any other as it is stored.
 */
export function signalByName(storedName: string, signals: NamedId[] | undefined): string {
  const named = (signals ?? []).filter((signal) => signal.name === storedName);
  return named.length === 1 ? signalName(named[0].id, storedName) : storedName;
}

/**
 * A time of day in the server's form ("08:00", "11:10:30") as the language writes it: with its
 * seconds when they count, or always for a clock that ticks.
 */
export function sayTime(text: string, seconds = false): string {
  const parsed = parseTime(text);
  if (!parsed.ok) return text;
  const { h, m, s } = parsed.value;
  return clockTime(h, m, s, seconds || s !== 0);
}

/** "09:45:00" of a local ISO time, whatever its milliseconds; the text itself when it has no time. */
export function timeOfIso(text: string): string {
  const found = /T(\d\d):(\d\d):(\d\d)/.exec(text);
  return found ? clockTime(Number(found[1]), Number(found[2]), Number(found[3]), true) : text;
}

/** "0.4 s late", or nothing when it began within a tenth of a second. */
export function lateness(lateMs: number | null): string | null {
  if (lateMs === null || lateMs < 100) return null;
  if (lateMs >= 60000) return t('playLog.lateMinutes', { minutes: Math.round(lateMs / 60000) });
  const seconds = new Intl.NumberFormat(intlLocale(), { minimumFractionDigits: 1, maximumFractionDigits: 1 }).format(lateMs / 1000);
  return t('playLog.lateSeconds', { seconds });
}

export interface MarkText {
  /** Short words for the list: "Rang at 09:45:00". */
  text: string;
  /** The reason or the lateness, when there is one. */
  detail: string | null;
  /** The CSS class that carries its colour. */
  tone: 'ok' | 'bad' | 'skip' | 'coming';
}

/** What became of a bell, in words; `systemStarted` is when the system began, for a bell missed before. */
export function markText(mark: BellMark, started: string | null, lateMs: number | null, detail: string, systemStarted?: string | null): MarkText {
  switch (mark) {
    case 'played':
      return { text: started ? t('playLog.rangAt', { time: timeOfIso(started) }) : t('playLog.rang'), detail: lateness(lateMs), tone: 'ok' };
    case 'stopped':
      return {
        text: started ? t('playLog.rangAtStopped', { time: timeOfIso(started) }) : t('playLog.stoppedBeforeRinging'),
        detail: lateness(lateMs),
        tone: 'ok',
      };
    case 'failed':
      return { text: t('playLog.failed'), detail: detail ? explainPlayDetail(detail) : null, tone: 'bad' };
    case 'skipped':
      return { text: t('playLog.skipped'), detail: detail ? explainPlayDetail(detail) : null, tone: 'skip' };
    case 'missed':
      return {
        text: t('playLog.didNotRing'),
        detail: systemStarted
          ? t('playLog.notRunningThen', { product: PRODUCT_NAME, time: sayTime(systemStarted) })
          : t('playLog.didNotRingWhy', { product: PRODUCT_NAME }),
        tone: 'bad',
      };
    case 'quiet':
      return { text: t('playLog.willBeSkipped'), detail: t('playLog.quietPeriod'), tone: 'skip' };
    case 'coming':
      return { text: t('playLog.stillToRing'), detail: null, tone: 'coming' };
  }
}

/** The play log's reason for a bell skipped while every bell was switched off. */
export const BELLS_OFF = 'bells off'; // untranslated: the reason as the server writes it

/** How many of today's bells that were due did not ring: missed, failed, or silent while the bells were off. */
export const silentBells = (bells: TodayBell[]): number =>
  bells.filter((b) => b.mark === 'missed' || b.mark === 'failed' || (b.mark === 'skipped' && b.detail === BELLS_OFF)).length;

/** How soon a bell rings, from whole seconds: "in 45 seconds", "in 12 minutes". */
export const countdown = (seconds: number): string => inTime(Math.max(0, Math.floor(seconds)));

/** The warning to show about the clock, or null while the clock is synchronised or nobody can tell. */
export function clockWarning(health: ClockHealth | undefined): string | null {
  return health?.synchronised === false ? t('playLog.clockNotSynchronised') : null;
}

/** The sentences that say what is kept quiet today. */
export function describeQuiet(quiet: QuietToday): string[] {
  return [
    ...quiet.periods.map((p) => t('playLog.quietFromTo', { from: sayTime(p.from), to: sayTime(p.to) })),
    ...quiet.skippedBells.map((at) => t('playLog.bellSkipped', { time: sayTime(at) })),
  ];
}

/**
 * Whether the bells are quiet at `time` ("HH:MM:SS") of today, and until when: the latest end of
 * the periods that cover it, and the name of a planned one among them.
 */
export function quietNow(quiet: QuietToday, time: string): { until: string; name: string } | null {
  const now = parseTime(time);
  if (!now.ok) return null;
  const at = timeToSeconds(now.value);
  const seconds = (text: string) => {
    const parsed = parseTime(text);
    return parsed.ok ? timeToSeconds(parsed.value) : -1;
  };
  const covering = [...quiet.periods.map((p) => ({ ...p, name: '' })), ...quiet.planned].filter(
    (p) => seconds(p.from) <= at && at < seconds(p.to),
  );
  if (covering.length === 0) return null;
  const until = covering.reduce((latest, p) => (seconds(p.to) > seconds(latest) ? p.to : latest), covering[0].to);
  return { until, name: covering.find((p) => p.name)?.name ?? '' };
}

export interface QuietPlanInput {
  date: string;
  from: string;
  to: string;
  name: string;
  holdProgrammes: boolean;
}

/** Reads the form that plans a quiet period on a day from `today` on; each field's reason when it cannot be one. */
export function checkPlannedQuiet(
  input: QuietPlanInput,
  today: CalendarDate,
): { ok: true; value: QuietPlanInput } | { ok: false; errors: Partial<Record<'date' | 'times' | 'name', string>> } {
  const errors: Partial<Record<'date' | 'times' | 'name', string>> = {};
  const date = parseDate(input.date);
  if (input.date.trim() === '') errors.date = t('quiet.chooseDate');
  else if (!date.ok) errors.date = date.error;
  else if (compareDates(date.value, today) < 0) errors.date = t('quiet.datePassed');
  const times = checkQuietPeriod(input.from, input.to);
  if (!times.ok) errors.times = times.error;
  const name = input.name.trim();
  if (nameTooLong(name)) errors.name = t('quiet.nameTooLong');
  if (Object.keys(errors).length > 0 || !times.ok) return { ok: false, errors };
  return { ok: true, value: { date: input.date, from: times.from, to: times.to, name, holdProgrammes: input.holdProgrammes } };
}

/** The planned periods of the day `date` ("YYYY-MM-DD"). */
export const plannedOn = (planned: PlannedQuiet[], date: string): PlannedQuiet[] => planned.filter((p) => p.date === date);

/** Reads a quiet period typed as two whole-minute times; the reason when it cannot be one. */
export function checkQuietPeriod(from: string, to: string): { ok: true; from: string; to: string } | { ok: false; error: string } {
  const a = parseTime(from);
  if (!a.ok) return { ok: false, error: a.error };
  const b = parseTime(to);
  if (!b.ok) return { ok: false, error: b.error };
  if (a.value.s !== 0 || b.value.s !== 0) return { ok: false, error: t('playLog.wholeMinutes') };
  if (timeToSeconds(b.value) <= timeToSeconds(a.value)) return { ok: false, error: t('playLog.quietEndsBeforeStart') };
  const hm = (time: { h: number; m: number }) => `${String(time.h).padStart(2, '0')}:${String(time.m).padStart(2, '0')}`;
  return { ok: true, from: hm(a.value), to: hm(b.value) };
}
