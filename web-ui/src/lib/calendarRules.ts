// The server's calendar rules, run in the browser before an event is saved: the kind of each day,
// and the days without school on which a new event would make the bells ring.
import type { CalendarRegion, DayKind, SingleEvent } from '../api/types';
import { t, type MessageKey } from '../i18n';
import { dayAndMonth } from '../i18n/format';
import { addDays, type CalendarDate, formatDate, isoWeek, parseDate, weekdayOf } from './time';
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

/** The days without school, and how a sentence names each. */
export type NoSchoolKind = 'HOLIDAY' | 'SCHOOL_BREAK' | 'NON_WORKDAY';
const NO_SCHOOL: Record<NoSchoolKind, MessageKey> = {
  HOLIDAY: 'calendarRules.publicHoliday',
  SCHOOL_BREAK: 'calendarRules.schoolHoliday',
  NON_WORKDAY: 'calendarRules.dayOff',
};
const isNoSchool = (kind: DayKind): kind is NoSchoolKind => kind in NO_SCHOOL;

export interface OverriddenDay {
  date: string;
  kind: NoSchoolKind;
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
    const kind = kindOfDay(date, rules);
    if (isNoSchool(kind) && applies(date)) found.push({ date: formatDate(date), kind });
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

/**
 * "This will ring on 1 Jan (public holiday), 8 Jan (school holiday) …", the year named only when it
 * is not this year's; empty when there is no such day.
 */
export function describeOverrides(days: OverriddenDay[], limit: number, today: string): string {
  if (days.length === 0) return '';
  const year = parseDate(today);
  const shown = days.slice(0, limit).map(({ date, kind }) => {
    const parsed = parseDate(date);
    const when = parsed.ok ? dayAndMonth(parsed.value, !year.ok || parsed.value.y !== year.value.y) : date;
    return t('calendarRules.dayAndKind', { date: when, kind: t(NO_SCHOOL[kind]) });
  });
  return t(days.length > limit ? 'calendarRules.willRingAndMore' : 'calendarRules.willRing', { days: shown.join(', ') });
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
  const years = { year: String(year), next: String(year + 1) };
  return mode === 3 ? t('calendarRules.newYearTwice', years) : t('calendarRules.newYearPause', years);
}
