// Dates, times, weekdays, months and spans of time in the active language, from the platform's
// Intl. The week starts on Monday and the clock has 24 hours in every language.
import { intlLocale } from './index';
import type { CalendarDate } from '../lib/time';

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

/** "02/09/2024", "2024. 09. 02.", "02.09.2024": how dates are written and typed in the language. */
export const numericDate = (date: CalendarDate): string =>
  dateFormat('numeric', { year: 'numeric', month: '2-digit', day: '2-digit' }).format(instantOf(date));

/** "Mon 9 Sep", "szept. 9., H", "Mo., 9. Sept.": a day near today. */
export const shortDate = (date: CalendarDate): string =>
  dateFormat('short', { weekday: 'short', month: 'short', day: 'numeric' }).format(instantOf(date));

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
