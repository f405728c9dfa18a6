// A calendar registry for the substitute vendor service with dates of the test's own, so that the
// flows find holidays and breaks near today in any year.
import { mkdirSync, mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

/** "YYYY-MM-DD" of the date `days` after `from` (also a "YYYY-MM-DD"). */
export function addDays(from, days) {
  const d = new Date(`${from}T12:00:00Z`);
  d.setUTCDate(d.getUTCDate() + days);
  return d.toISOString().slice(0, 10);
}

/** 0 = Monday ... 6 = Sunday, as the system counts. */
export const weekdayOf = (date) => (new Date(`${date}T12:00:00Z`).getUTCDay() + 6) % 7;

/** The first date on or after `from` that falls on `weekday`. */
export function nextWeekday(from, weekday) {
  return addDays(from, (weekday - weekdayOf(from) + 7) % 7);
}

/** Months from the month of `from` to the month of `to`: the calendar page's offset. */
export const monthOffset = (from, to) => (Number(to.slice(0, 4)) - Number(from.slice(0, 4))) * 12 + Number(to.slice(5, 7)) - Number(from.slice(5, 7));

/**
 * "9 Dec", with the year when it is not `today`'s: how the English interface names a day in a
 * sentence, with the day and short month of the platform's Intl ("9 Sept" for September).
 */
export function shortDay(date, today) {
  const withYear = date.slice(0, 4) !== today.slice(0, 4);
  const format = new Intl.DateTimeFormat('en-GB', { timeZone: 'UTC', day: 'numeric', month: 'short', year: withYear ? 'numeric' : undefined });
  return format.format(new Date(`${date}T12:00:00Z`));
}

/**
 * A data directory for the substitute vendor service whose registry holds the one region "hu"
 * (the default region of a new installation) with the given days.
 */
export function vendorDataWith({ holidays = [], schoolBreaks = [], extraWorkdays = [] }) {
  const dir = mkdtempSync(join(tmpdir(), 'tollwick-vendor-'));
  mkdirSync(join(dir, 'announcements'));
  const region = { name: 'Testland', preferredWorkdayMode: 15, provideHolidays: true, validUntil: '', holidays, schoolBreaks, extraWorkdays };
  writeFileSync(join(dir, 'calendar-registry.json'), JSON.stringify({ version: 1, entries: { hu: region } }));
  return dir;
}
