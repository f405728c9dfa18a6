// Dates, times, weekdays, months and spans of time in the active language, from the platform's
// Intl. The week starts on Monday and the clock has 24 hours in every language.
import { intlLocale, t } from './index';
import { daysInMonth, type CalendarDate, type Parsed } from '../lib/time';

// Formats are made once per locale and kind: making one is far slower than using it.
const made = new Map<string, Intl.DateTimeFormat>();

function dateFormat(kind: string, options: Intl.DateTimeFormatOptions): Intl.DateTimeFormat {
  const key = `${intlLocale()}|${kind}`;
  let format = made.get(key);
  if (!format) {
    format = new Intl.DateTimeFormat(intlLocale(), { timeZone: 'UTC', ...options });
    made.set(key, format);
  }
  return format;
}

// Noon UTC of the day, formatted in UTC: no time zone can move it to another day.
const instantOf = (date: CalendarDate): Date => {
  const instant = new Date(Date.UTC(2000, date.m - 1, date.d, 12));
  instant.setUTCFullYear(date.y);
  return instant;
};

/** "Monday, 2 September 2024", "2024. szeptember 2., hétfő", "Montag, 2. September 2024". */
export const longDate = (date: CalendarDate): string =>
  dateFormat('long', { weekday: 'long', year: 'numeric', month: 'long', day: 'numeric' }).format(instantOf(date));

const numericFormat = (): Intl.DateTimeFormat => dateFormat('numeric', { year: 'numeric', month: '2-digit', day: '2-digit' });

/** "02/09/2024", "2024. 09. 02.", "02.09.2024": how dates are written and typed in the language. */
export const numericDate = (date: CalendarDate): string => numericFormat().format(instantOf(date));

type DatePart = 'day' | 'month' | 'year';

/** The order of day, month and year in the language's numeric dates, as Intl writes them. */
export function dateOrder(): DatePart[] {
  return numericFormat()
    .formatToParts(instantOf({ y: 2026, m: 12, d: 8 }))
    .map((part) => part.type)
    .filter((type): type is DatePart => type === 'day' || type === 'month' || type === 'year');
}

/** Today by the browser's calendar. */
export function browserToday(): CalendarDate {
  const now = new Date();
  return { y: now.getFullYear(), m: now.getMonth() + 1, d: now.getDate() };
}

// The stored form, which every language reads too: "2026-12-08".
const STORED_FORM = /^\d{4}-\d{1,2}-\d{1,2}$/;

/**
 * Reads a date as people type it in the active language: day, month and year in the language's
 * order ("8/12/2026", "2026. 12. 8.", "8.12.2026"), with ".", "/", "-" or spaces between them and
 * one or two digits for day and month. A date without its year is one of the year of `today`.
 * The stored form "2026-12-08" is read in every language.
 */
export function parseLocalDate(text: string, today: CalendarDate = browserToday()): Parsed<CalendarDate> {
  const trimmed = text.trim();
  if (trimmed === '') return { ok: false, error: t('date.enterDate') };
  const malformed = { ok: false, error: t('dateInput.notADate', { text: trimmed, example: numericDate(today) }) } as const;
  if (!/^[\d\s./-]+$/.test(trimmed)) return malformed;
  const pieces = trimmed.split(/[\s./-]+/).filter(Boolean);
  let order = dateOrder();
  // A year of four digits in front is the stored order, whatever the separators.
  if (STORED_FORM.test(trimmed) || (pieces.length === 3 && /^\d{4}$/.test(pieces[0]))) order = ['year', 'month', 'day'];
  else if (pieces.length === 2) order = order.filter((part) => part !== 'year');
  if (pieces.length !== order.length) return malformed;
  const found: Record<DatePart, number> = { day: 0, month: 0, year: today.y };
  for (const [i, piece] of pieces.entries()) {
    const part = order[i];
    if (!(part === 'year' ? /^\d{4}$/ : /^\d{1,2}$/).test(piece)) return malformed;
    found[part] = Number(piece);
  }
  const { year: y, month: m, day: d } = found;
  if (y < 1) return { ok: false, error: t('date.yearRange', { text: trimmed }) };
  if (m < 1 || m > 12) return { ok: false, error: t('date.noMonth', { text: trimmed, month: m }) };
  if (d < 1 || d > daysInMonth(y, m)) return { ok: false, error: t('date.noSuchDay', { text: trimmed }) };
  return { ok: true, value: { y, m, d } };
}

/** "Mon 9 Sep", "szept. 9., H", "Mo., 9. Sept.": a day near today. */
export const shortDate = (date: CalendarDate): string =>
  dateFormat('short', { weekday: 'short', month: 'short', day: 'numeric' }).format(instantOf(date));

/**
 * A span of days near today: "Mon 14 Dec – Fri 18 Dec", "dec. 14., H – 18., P", "Mo., 14. – Fr.,
 * 18. Dez."; one day alone as `shortDate` writes it.
 */
export function shortDateRange(first: CalendarDate, last: CalendarDate): string {
  const format = dateFormat('short', { weekday: 'short', month: 'short', day: 'numeric' });
  const [a, b] = [instantOf(first), instantOf(last)];
  if (a.getTime() === b.getTime()) return format.format(a);
  // Across a New Year Intl would name both years; near today the days alone are clear.
  if (first.y !== last.y) return `${format.format(a)} – ${format.format(b)}`;
  // Intl puts thin spaces around the dash, or none, as its data has it: one plain space each side.
  return format.formatRange(a, b).replace(/\s*–\s*/, ' – ');
}

/**
 * A day in a sentence: "25 Dec", "dec. 25.", "25. Dez."; with its year when `withYear` asks for it:
 * "1 Jan 2027", "2027. jan. 1.", "1. Jan. 2027".
 */
export const dayAndMonth = (date: CalendarDate, withYear = false): string =>
  dateFormat(withYear ? 'dayMonthYear' : 'dayMonth', { day: 'numeric', month: 'short', year: withYear ? 'numeric' : undefined }).format(instantOf(date));

/** "September 2024", "2024. szeptember", "September 2024". */
export const monthAndYear = (year: number, month: number): string =>
  dateFormat('month', { year: 'numeric', month: 'long' }).format(instantOf({ y: year, m: month, d: 1 }));

export const monthName = (month: number): string =>
  dateFormat('monthName', { month: 'long' }).format(instantOf({ y: 2024, m: month, d: 1 }));

// 2024-01-01 was a Monday.
const weekdayDate = (weekday: number): Date => instantOf({ y: 2024, m: 1, d: 1 + weekday });

/**
 * The weekday 0 (Monday) to 6 (Sunday) abbreviated as the language's calendars do: "Mon",
 * "H", "Mo". German calendars write the abbreviation without the full stop of the long form.
 */
export function weekdayShort(weekday: number): string {
  const text = dateFormat('weekdayShort', { weekday: 'short' }).format(weekdayDate(weekday));
  return intlLocale().startsWith('de') ? text.replace(/\.$/, '') : text;
}

export const weekdayLong = (weekday: number): string =>
  dateFormat('weekdayLong', { weekday: 'long' }).format(weekdayDate(weekday));

/** A time of day on the 24-hour clock, with its seconds when `seconds` asks for them. */
export function clockTime(h: number, m: number, s = 0, seconds = false): string {
  return dateFormat(seconds ? 'clockSeconds' : 'clock', {
    hour: '2-digit',
    minute: '2-digit',
    second: seconds ? '2-digit' : undefined,
    hourCycle: 'h23',
  }).format(new Date(Date.UTC(2000, 0, 1, h, m, s)));
}

let relative: { locale: string; format: Intl.RelativeTimeFormat } | undefined;

/**
 * How soon something comes, from a number of seconds: "in 45 seconds", "in 5 minutes",
 * "in 2 hours"; the language's plural rules decide the word.
 */
export function inTime(seconds: number): string {
  const locale = intlLocale();
  if (!relative || relative.locale !== locale)
    relative = { locale, format: new Intl.RelativeTimeFormat(locale, { numeric: 'always', style: 'long' }) };
  const whole = Math.max(0, Math.round(seconds));
  if (whole < 60) return relative.format.format(whole, 'second');
  if (whole < 3600) return relative.format.format(Math.round(whole / 60), 'minute');
  return relative.format.format(Math.round(whole / 360) / 10, 'hour');
}
