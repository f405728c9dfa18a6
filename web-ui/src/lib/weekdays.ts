// Weekday sets: the bit mask of recurring events (bit 0 = Monday ... bit 6 = Sunday) and
// the working-week codes of the calendar settings.
import { t, type MessageKey } from '../i18n';
import { weekdayShort } from '../i18n/format';

/** Bit mask of the given weekdays (0 = Monday ... 6 = Sunday); other numbers are refused. */
export function maskFromDays(days: Iterable<number>): number {
  let mask = 0;
  for (const day of days) {
    if (!Number.isInteger(day) || day < 0 || day > 6) throw new RangeError(`No weekday ${day}`); // untranslated: a fault of the caller, never shown
    mask |= 1 << day;
  }
  return mask;
}

/** The weekdays of a mask in order, Monday first; bits above Sunday are ignored. */
export function daysFromMask(mask: number): number[] {
  const days: number[] = [];
  for (let day = 0; day < 7; day++) if (mask & (1 << day)) days.push(day);
  return days;
}

export const maskHasDay = (mask: number, day: number): boolean => (mask & (1 << day)) !== 0;

export const toggleDay = (mask: number, day: number): number => mask ^ (1 << day);

/** "Mon–Fri", "Mon, Wed, Fri", "Mon–Wed, Sat", "every day", "no day", in the active language. */
export function describeDays(days: number[]): string {
  const sorted = [...new Set(days)].filter((d) => d >= 0 && d <= 6).sort((a, b) => a - b);
  if (sorted.length === 0) return t('weekdays.noDay');
  if (sorted.length === 7) return t('weekdays.everyDay');
  const pieces: string[] = [];
  let i = 0;
  while (i < sorted.length) {
    let j = i;
    while (j + 1 < sorted.length && sorted[j + 1] === sorted[j] + 1) j++;
    if (j - i >= 2) pieces.push(`${weekdayShort(sorted[i])}–${weekdayShort(sorted[j])}`);
    else for (let k = i; k <= j; k++) pieces.push(weekdayShort(sorted[k]));
    i = j + 1;
  }
  return pieces.join(', ');
}

export const describeMask = (mask: number): string => describeDays(daysFromMask(mask));

export interface WorkdayModeInfo {
  code: number;
  label: MessageKey;
  /** The working days in the order the week is read: Sunday-first weeks start with 6. */
  days: number[];
}

export const WORKDAY_MODES: WorkdayModeInfo[] = [
  { code: 15, label: 'schoolWeek.mondayToFriday', days: [0, 1, 2, 3, 4] },
  { code: 16, label: 'schoolWeek.mondayToSaturday', days: [0, 1, 2, 3, 4, 5] },
  { code: 14, label: 'schoolWeek.mondayToThursday', days: [0, 1, 2, 3] },
  { code: 25, label: 'schoolWeek.sundayToThursday', days: [6, 0, 1, 2, 3] },
  { code: 35, label: 'schoolWeek.saturdayToWednesday', days: [5, 6, 0, 1, 2] },
  { code: 7, label: 'schoolWeek.everyDay', days: [0, 1, 2, 3, 4, 5, 6] },
];

/** The working days of a code; an unknown code counts as every day, as the server does. */
export function workdaysOf(code: number): number[] {
  return (WORKDAY_MODES.find((m) => m.code === code) ?? WORKDAY_MODES[WORKDAY_MODES.length - 1]).days;
}

export function workdayModeLabel(code: number): string {
  const mode = WORKDAY_MODES.find((m) => m.code === code);
  return mode ? t(mode.label) : t('schoolWeek.unknown', { code });
}

export const RECURRENCE_MODES: { code: number; label: MessageKey }[] = [
  { code: 1, label: 'recurrence.everyWeek' },
  { code: 2, label: 'recurrence.evenWeeks' },
  { code: 3, label: 'recurrence.oddWeeks' },
];

export function recurrenceLabel(code: number): string {
  const mode = RECURRENCE_MODES.find((m) => m.code === code);
  return mode ? t(mode.label) : t('recurrence.unknown', { code });
}

/** Whether an event of the given mode and mask applies on a day of the given weekday and ISO week. */
export function recurrenceApplies(mode: number, mask: number, weekday: number, isoWeekNumber: number): boolean {
  const weekFits = mode === 1 || (mode === 2 && isoWeekNumber % 2 === 0) || (mode === 3 && isoWeekNumber % 2 === 1);
  return weekFits && maskHasDay(mask, weekday);
}
