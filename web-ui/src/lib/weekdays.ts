// Weekday sets: the bit mask of recurring events (bit 0 = Monday ... bit 6 = Sunday) and
// the working-week codes of the calendar settings.
import { WEEKDAY_SHORT } from './time';

/** Bit mask of the given weekdays (0 = Monday ... 6 = Sunday); other numbers are refused. */
export function maskFromDays(days: Iterable<number>): number {
  let mask = 0;
  for (const day of days) {
    if (!Number.isInteger(day) || day < 0 || day > 6) throw new RangeError(`No weekday ${day}`);
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

/** "Mon–Fri", "Mon, Wed, Fri", "Mon–Wed, Sat", "every day", "no day". */
export function describeDays(days: number[]): string {
  const sorted = [...new Set(days)].filter((d) => d >= 0 && d <= 6).sort((a, b) => a - b);
  if (sorted.length === 0) return 'no day';
  if (sorted.length === 7) return 'every day';
  const pieces: string[] = [];
  let i = 0;
  while (i < sorted.length) {
    let j = i;
    while (j + 1 < sorted.length && sorted[j + 1] === sorted[j] + 1) j++;
    if (j - i >= 2) pieces.push(`${WEEKDAY_SHORT[sorted[i]]}–${WEEKDAY_SHORT[sorted[j]]}`);
    else for (let k = i; k <= j; k++) pieces.push(WEEKDAY_SHORT[sorted[k]]);
    i = j + 1;
  }
  return pieces.join(', ');
}

export const describeMask = (mask: number): string => describeDays(daysFromMask(mask));

export interface WorkdayModeInfo {
  code: number;
  label: string;
  /** The working days in the order the week is read: Sunday-first weeks start with 6. */
  days: number[];
}

export const WORKDAY_MODES: WorkdayModeInfo[] = [
  { code: 15, label: 'Monday to Friday', days: [0, 1, 2, 3, 4] },
  { code: 16, label: 'Monday to Saturday', days: [0, 1, 2, 3, 4, 5] },
  { code: 14, label: 'Monday to Thursday', days: [0, 1, 2, 3] },
  { code: 25, label: 'Sunday to Thursday', days: [6, 0, 1, 2, 3] },
  { code: 35, label: 'Saturday to Wednesday', days: [5, 6, 0, 1, 2] },
  { code: 7, label: 'Every day', days: [0, 1, 2, 3, 4, 5, 6] },
];

/** The working days of a code; an unknown code counts as every day, as the server does. */
export function workdaysOf(code: number): number[] {
  return (WORKDAY_MODES.find((m) => m.code === code) ?? WORKDAY_MODES[WORKDAY_MODES.length - 1]).days;
}

export function workdayModeLabel(code: number): string {
  return WORKDAY_MODES.find((m) => m.code === code)?.label ?? `Every day (code ${code})`;
}

export const RECURRENCE_MODES = [
  { code: 1, label: 'Every week' },
  { code: 2, label: 'Even weeks' },
  { code: 3, label: 'Odd weeks' },
] as const;

export function recurrenceLabel(code: number): string {
  return RECURRENCE_MODES.find((m) => m.code === code)?.label ?? `Mode ${code}`;
}

/** Whether an event of the given mode and mask applies on a day of the given weekday and ISO week. */
export function recurrenceApplies(mode: number, mask: number, weekday: number, isoWeekNumber: number): boolean {
  const weekFits = mode === 1 || (mode === 2 && isoWeekNumber % 2 === 0) || (mode === 3 && isoWeekNumber % 2 === 1);
  return weekFits && maskHasDay(mask, weekday);
}
