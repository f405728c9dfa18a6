// Times of day, dates and lesson periods in the text forms the server stores:
// a time is "HH:MM", or "HH:MM:SS" when the seconds are not zero; a date is "YYYY-MM-DD";
// a lesson is "<start> - <end>". What they say to people is in the active language.
import { t } from '../i18n';
import { longDate, monthName as localMonthName, shortDate as localShortDate, weekdayLong, weekdayShort } from '../i18n/format';

export interface TimeOfDay {
  h: number;
  m: number;
  s: number;
}

export interface CalendarDate {
  y: number;
  m: number;
  d: number;
}

export type Parsed<T> = { ok: true; value: T } | { ok: false; error: string };

const ok = <T>(value: T): Parsed<T> => ({ ok: true, value });
const fail = <T>(error: string): Parsed<T> => ({ ok: false, error });

const pad2 = (n: number): string => String(n).padStart(2, '0');

/**
 * Reads a time of the 24-hour clock: "8:05", "08:05", "08:05:09", with "." in place of ":"
 * (phone keypads have a dot but no colon), or digits alone: "805", "0805", "080509".
 */
export function parseTime(text: string): Parsed<TimeOfDay> {
  const trimmed = text.trim();
  if (trimmed === '') return fail(t('time.enterTime'));
  let parts: string[];
  if (/^\d{3,6}$/.test(trimmed)) {
    const digits = trimmed.length % 2 === 1 ? `0${trimmed}` : trimmed;
    parts = digits.match(/\d\d/g) ?? [];
  } else {
    parts = trimmed.split(/[:.]/);
  }
  const malformed = t('time.notATime', { text: trimmed });
  if (parts.length < 2 || parts.length > 3) return fail(malformed);
  if (!parts.every((p) => /^\d{1,2}$/.test(p))) return fail(malformed);
  const [h, m, s = 0] = parts.map(Number);
  if (h > 23) return fail(t('time.hourRange', { text: trimmed }));
  if (m > 59) return fail(t('time.minuteRange', { text: trimmed }));
  if (s > 59) return fail(t('time.secondRange', { text: trimmed }));
  return ok({ h, m, s });
}

/** The stored form: seconds appear only when they are not zero. */
export function formatTime(t: TimeOfDay): string {
  const base = `${pad2(t.h)}:${pad2(t.m)}`;
  return t.s > 0 ? `${base}:${pad2(t.s)}` : base;
}

export const timeToSeconds = (t: TimeOfDay): number => t.h * 3600 + t.m * 60 + t.s;

export function secondsToTime(seconds: number): TimeOfDay {
  const day = 86400;
  const wrapped = ((Math.trunc(seconds) % day) + day) % day;
  return { h: Math.floor(wrapped / 3600), m: Math.floor((wrapped % 3600) / 60), s: wrapped % 60 };
}

/** Normalises any accepted time text to the stored form, or gives back the error. */
export function normaliseTime(text: string): Parsed<string> {
  const parsed = parseTime(text);
  return parsed.ok ? ok(formatTime(parsed.value)) : parsed;
}

/** Compares two time texts; unreadable texts sort last. */
export function compareTimes(a: string, b: string): number {
  const pa = parseTime(a);
  const pb = parseTime(b);
  const sa = pa.ok ? timeToSeconds(pa.value) : Infinity;
  const sb = pb.ok ? timeToSeconds(pb.value) : Infinity;
  if (sa === sb) return 0;
  return sa < sb ? -1 : 1;
}

export interface LessonTimes {
  start: string;
  end: string;
}

/** Reads "08:00 - 08:45" (spaces optional) into its two time texts in stored form. */
export function parseLesson(text: string): Parsed<LessonTimes> {
  const parts = text.split('-');
  if (parts.length !== 2) return fail(t('time.notALesson', { text }));
  const start = normaliseTime(parts[0]);
  if (!start.ok) return start;
  const end = normaliseTime(parts[1]);
  if (!end.ok) return end;
  return ok({ start: start.value, end: end.value });
}

export function formatLesson(lesson: LessonTimes): string {
  return `${lesson.start} - ${lesson.end}`;
}

export function isLeapYear(y: number): boolean {
  return (y % 4 === 0 && y % 100 !== 0) || y % 400 === 0;
}

export function daysInMonth(y: number, m: number): number {
  return [31, isLeapYear(y) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][m - 1];
}

/** Reads "YYYY-MM-DD" (month and day may have one digit) and checks that the day exists. */
export function parseDate(text: string): Parsed<CalendarDate> {
  const trimmed = text.trim();
  if (trimmed === '') return fail(t('date.enterDate'));
  const match = /^(\d{4})-(\d{1,2})-(\d{1,2})$/.exec(trimmed);
  if (!match) return fail(t('date.notADate', { text: trimmed }));
  const [y, m, d] = [Number(match[1]), Number(match[2]), Number(match[3])];
  if (y < 1) return fail(t('date.yearRange', { text: trimmed }));
  if (m < 1 || m > 12) return fail(t('date.noMonth', { text: trimmed, month: m }));
  if (d < 1 || d > daysInMonth(y, m)) return fail(t('date.noSuchDay', { text: trimmed }));
  return ok({ y, m, d });
}

export function formatDate(date: CalendarDate): string {
  return `${String(date.y).padStart(4, '0')}-${pad2(date.m)}-${pad2(date.d)}`;
}

/** Days since 1970-01-01 of the proleptic Gregorian calendar (negative before). */
export function dayNumber(date: CalendarDate): number {
  // Civil-from-days inverted; exact for every year of the calendar.
  const y = date.m <= 2 ? date.y - 1 : date.y;
  const era = Math.floor(y / 400);
  const yoe = y - era * 400;
  const mp = (date.m + 9) % 12;
  const doy = Math.floor((153 * mp + 2) / 5) + date.d - 1;
  const doe = yoe * 365 + Math.floor(yoe / 4) - Math.floor(yoe / 100) + doy;
  return era * 146097 + doe - 719468;
}

export function fromDayNumber(n: number): CalendarDate {
  const z = n + 719468;
  const era = Math.floor(z / 146097);
  const doe = z - era * 146097;
  const yoe = Math.floor((doe - Math.floor(doe / 1460) + Math.floor(doe / 36524) - Math.floor(doe / 146096)) / 365);
  const doy = doe - (365 * yoe + Math.floor(yoe / 4) - Math.floor(yoe / 100));
  const mp = Math.floor((5 * doy + 2) / 153);
  const d = doy - Math.floor((153 * mp + 2) / 5) + 1;
  const m = mp < 10 ? mp + 3 : mp - 9;
  return { y: yoe + era * 400 + (m <= 2 ? 1 : 0), m, d };
}

export const addDays = (date: CalendarDate, days: number): CalendarDate => fromDayNumber(dayNumber(date) + days);

/** 0 = Monday to 6 = Sunday, as everywhere in this system. */
export function weekdayOf(date: CalendarDate): number {
  // 1970-01-01 was a Thursday (3).
  return (((dayNumber(date) + 3) % 7) + 7) % 7;
}

/** ISO 8601 week number: weeks start on Monday, week 1 holds the year's first Thursday. */
export function isoWeek(date: CalendarDate): number {
  const thursday = addDays(date, 3 - weekdayOf(date));
  const jan1 = dayNumber({ y: thursday.y, m: 1, d: 1 });
  return Math.floor((dayNumber(thursday) - jan1) / 7) + 1;
}

export function compareDates(a: CalendarDate, b: CalendarDate): number {
  return Math.sign(dayNumber(a) - dayNumber(b));
}

/** Year and month `offset` months after the given one (negative offsets go back). */
export function shiftMonth(year: number, month: number, offset: number): { year: number; month: number } {
  const index = year * 12 + (month - 1) + offset;
  return { year: Math.floor(index / 12), month: (((index % 12) + 12) % 12) + 1 };
}

/** Playing time in whole seconds as "m:ss" (or "h:mm:ss"); unknown lengths (-1) as an em dash. */
export function formatDuration(seconds: number): string {
  if (!Number.isFinite(seconds) || seconds < 0) return '—';
  const total = Math.round(seconds);
  const h = Math.floor(total / 3600);
  const m = Math.floor((total % 3600) / 60);
  const s = total % 60;
  return h > 0 ? `${h}:${pad2(m)}:${pad2(s)}` : `${m}:${pad2(s)}`;
}

/** The weekdays Monday to Sunday, abbreviated and in full, in the active language. */
export const weekdaysShort = (): string[] => [0, 1, 2, 3, 4, 5, 6].map(weekdayShort);
export const weekdaysLong = (): string[] => [0, 1, 2, 3, 4, 5, 6].map(weekdayLong);

export const monthName = (m: number): string => (m >= 1 && m <= 12 ? localMonthName(m) : String(m));

/** "Monday, 2 September 2024" from a stored date text; the text itself when unreadable. */
export function describeDate(text: string): string {
  const parsed = parseDate(text);
  return parsed.ok ? longDate(parsed.value) : text;
}

/** "Mon 9 Sep" from a stored date text; the text itself when unreadable. */
export function shortDate(text: string): string {
  const parsed = parseDate(text);
  return parsed.ok ? localShortDate(parsed.value) : text;
}
