// The server's calendar rules, run in the browser before an event is saved: the kind of each day,
// and the days without school on which a new event would make the bells ring.
import type { CalendarRegion, DayKind, SingleEvent } from '../api/types';
import { addDays, type CalendarDate, formatDate, isoWeek, monthName, parseDate, weekdayOf } from './time';
import { recurrenceApplies, workdaysOf } from './weekdays';

export interface CalendarRules {
  holidays: Set<string>;
  extraWorkdays: Set<string>;
  /** Empty when the region's school breaks do not count. */
  schoolBreaks: Set<string>;
  workdays: number[];
}

/** The rules of the chosen region (none when its data has not arrived) and working week. */
export function calendarRules(
  region: Pick<CalendarRegion, 'holidays' | 'extraWorkdays' | 'schoolBreaks' | 'provideHolidays'> | undefined,
  settings: { workdayMode: number; syncSchoolHolidays: boolean },
): CalendarRules {
  const breaksCount = !!region && region.provideHolidays && settings.syncSchoolHolidays;
  return {
    holidays: new Set(region?.holidays ?? []),
    extraWorkdays: new Set(region?.extraWorkdays ?? []),
    schoolBreaks: new Set(breaksCount ? region.schoolBreaks : []),
    workdays: workdaysOf(settings.workdayMode),
  };
}

/** The kind of a day as the server decides it: holidays, then extra school days, then breaks, then the week. */
export function kindOfDay(date: CalendarDate, rules: CalendarRules): DayKind {
  const text = formatDate(date);
  if (rules.holidays.has(text)) return 'HOLIDAY';
  if (rules.extraWorkdays.has(text)) return 'REPLACED_WORKDAY';
  if (rules.schoolBreaks.has(text)) return 'SCHOOL_BREAK';
  return rules.workdays.includes(weekdayOf(date)) ? 'WORKDAY' : 'NON_WORKDAY';
}

const NO_SCHOOL: Partial<Record<DayKind, string>> = { HOLIDAY: 'public holiday', SCHOOL_BREAK: 'school break', NON_WORKDAY: 'day off' };

export interface OverriddenDay {
  date: string;
  /** "public holiday", "school break" or "day off". */
  kind: string;
}

/**
 * The days without school from `from` (included), within `withinDays`, on which `applies` makes
 * the bells ring; at most `limit` of them.
 */
export function overriddenDays(from: string, applies: (date: CalendarDate) => boolean, rules: CalendarRules, limit: number, withinDays = 366): OverriddenDay[] {
  const start = parseDate(from);
  if (!start.ok) return [];
  const found: OverriddenDay[] = [];
  for (let i = 0; i < withinDays && found.length < limit; i++) {
    const date = addDays(start.value, i);
    const kind = NO_SCHOOL[kindOfDay(date, rules)];
    if (kind && applies(date)) found.push({ date: formatDate(date), kind });
  }
  return found;
}

/** Whether a one-off event covers the date; one-off events win over every recurring event. */
export function coveredBySingleEvent(date: CalendarDate, events: SingleEvent[]): boolean {
  const text = formatDate(date);
  return events.some((event) => event.start <= text && text <= event.end);
}

/** The days of a new recurring event that override a day without school, unless a one-off event decides them. */
export function recurringOverrides(mode: number, mask: number, today: string, rules: CalendarRules, singleEvents: SingleEvent[], limit: number): OverriddenDay[] {
  return overriddenDays(today, (d) => recurrenceApplies(mode, mask, weekdayOf(d), isoWeek(d)) && !coveredBySingleEvent(d, singleEvents), rules, limit);
}

/** The days of a new one-off event (it wins over every other event) that are days without school. */
export function singleOverrides(start: string, end: string, rules: CalendarRules, limit: number): OverriddenDay[] {
  const first = parseDate(start);
  const last = parseDate(end);
  if (!first.ok || !last.ok) return [];
  return overriddenDays(start, (d) => formatDate(d) <= formatDate(last.value), rules, limit, 3660);
}

/** "This will ring on 1 Jan (public holiday), 8 Jan (school break) …"; empty when there is no such day. */
export function describeOverrides(days: OverriddenDay[], limit: number, today: string): string {
  if (days.length === 0) return '';
  const year = today.slice(0, 4);
  const shown = days.slice(0, limit).map(({ date, kind }) => {
    const parsed = parseDate(date);
    if (!parsed.ok) return date;
    const { y, m, d } = parsed.value;
    return `${d} ${monthName(m).slice(0, 3)}${String(y) === year ? '' : ` ${y}`} (${kind})`;
  });
  return `This will ring on ${shown.join(', ')}${days.length > limit ? ' …' : ''}`;
}

/** Whether the ISO year `year` has a week 53 (its 28 December lies in week 53). */
export const hasWeek53 = (year: number): boolean => isoWeek({ y: year, m: 12, d: 28 }) === 53;

/**
 * Weeks 53 and 1 are both odd, so odd and even week patterns lose their rhythm at a New Year
 * that follows a week 53. Says so for the coming New Year; empty when it does not apply.
 */
export function newYearNote(mode: number, today: string): string {
  const parsed = parseDate(today);
  if (!parsed.ok || (mode !== 2 && mode !== 3)) return '';
  const year = parsed.value.y;
  if (!hasWeek53(year)) return '';
  return mode === 3
    ? `Weeks 53 of ${year} and 1 of ${year + 1} are both odd: at New Year this rings two weeks in a row.`
    : `Weeks 53 of ${year} and 1 of ${year + 1} are both odd: at New Year this pauses for two weeks.`;
}
