// The school's days as the server plans them ("/api/get/days"): why each day rings by its
// timetable, its first and last bell, the next day with bells, the days a timetable rings on, and
// the weeks of the week page.
import { NULL_ID, type DayPlan, type NamedId, type PlannedBell, type PlannedQuiet } from '../api/types';
import { t } from '../i18n';
import { shortDateRange } from '../i18n/format';
import { dayKindInfo } from './calendar';
import { timetableLabel } from './forms';
import { addDays, dayNumber, formatDate, fromDayNumber, parseDate, parseTime, timeToSeconds, weekdayOf } from './time';
import { describeMask, recurrenceLabel } from './weekdays';

/** How far ahead the dashboard looks for the next day with bells. */
export const SEARCH_AHEAD = 14;

/** The days the timetable list looks at. */
export const COMING_WEEKS = 4;

/** A date of the server in its stored form ("2026-01-05" for "2026-1-5"); the text itself when unreadable. */
export function storedDate(text: string): string {
  const parsed = parseDate(text);
  return parsed.ok ? formatDate(parsed.value) : text;
}

/** The timetable of a day as people read it: its name, "No bells", or that it was deleted. */
export const dayTimetable = (day: Pick<DayPlan, 'timetableId'>, timetables: NamedId[]): string => timetableLabel(day.timetableId, timetables);

/** A span of stored dates as a short text; the texts themselves when unreadable. */
export function dateSpan(start: string, end: string): string {
  const a = parseDate(start);
  const b = parseDate(end);
  return a.ok && b.ok ? shortDateRange(a.value, b.value) : start === end ? start : `${start} – ${end}`;
}

/** Why the day's timetable applies: the default of a school day, an event and its name, a day without school, or the choice of today. */
export function dayReason(day: Pick<DayPlan, 'typeOfDay' | 'reason' | 'event' | 'timetableId'>): string {
  const kind = dayKindInfo(day.typeOfDay).label;
  const event = day.event;
  switch (day.reason) {
    case 'DEFAULT':
      return t('days.reasonDefault', { kind });
    case 'NO_SCHOOL':
      return t('days.reasonNoSchool', { kind });
    case 'DAILY_OVERRIDE':
      return day.timetableId === NULL_ID ? t('days.reasonSilencedToday') : t('days.reasonChosenToday');
    case 'SINGLE_EVENT':
    case 'RECURRING_EVENT': {
      const name = event?.name?.trim();
      if (event?.kind === 'recurring')
        return name
          ? t('days.reasonRecurringNamed', { name })
          : t('days.reasonRecurring', { weeks: recurrenceLabel(event.mode), days: describeMask(event.days) });
      if (name) return t('days.reasonSingleNamed', { name });
      return event ? t('days.reasonSingle', { dates: dateSpan(event.start, event.end) }) : kind;
    }
    default:
      return kind;
  }
}

/** The first and the last bell of a day; null when none rings. */
export function firstAndLast(day: Pick<DayPlan, 'bells'>): { first: PlannedBell; last: PlannedBell } | null {
  if (day.bells.length === 0) return null;
  return { first: day.bells[0], last: day.bells[day.bells.length - 1] };
}

/** The first day after `after` (an index into `days`) on which bells ring, at most `within` days later. */
export function nextDayWithBells(days: DayPlan[], after: number, within = SEARCH_AHEAD): DayPlan | null {
  for (let i = after + 1; i < days.length && i <= after + within; i++) if (days[i].bells.length > 0) return days[i];
  return null;
}

export interface DateRange {
  start: string;
  end: string;
}

/** Dates ("YYYY-MM-DD", any order) as runs of following days; unreadable dates are left out. */
export function dateRanges(dates: string[]): DateRange[] {
  const numbers = [...new Set(dates.map(parseDate).filter((p) => p.ok).map((p) => dayNumber(p.value)))].sort((a, b) => a - b);
  const ranges: { start: number; end: number }[] = [];
  for (const n of numbers) {
    const last = ranges[ranges.length - 1];
    if (last && n === last.end + 1) last.end = n;
    else ranges.push({ start: n, end: n });
  }
  return ranges.map((r) => ({ start: formatDate(fromDayNumber(r.start)), end: formatDate(fromDayNumber(r.end)) }));
}

/** For each timetable, the dates on which it rings bells. */
export function ringingDates(days: DayPlan[]): Map<string, string[]> {
  const found = new Map<string, string[]>();
  for (const day of days) {
    if (day.timetableId === NULL_ID || day.bells.length === 0) continue;
    found.set(day.timetableId, [...(found.get(day.timetableId) ?? []), day.date]);
  }
  return found;
}

/** "Rings on 18 days in the next 4 weeks: Mon 14 Dec – Fri 18 Dec, …", or that it does not ring. */
export function ringsLine(dates: string[] | undefined, weeks = COMING_WEEKS): string {
  if (!dates || dates.length === 0) return t('days.ringsNever', { weeks });
  const spans = dateRanges(dates).map((r) => dateSpan(r.start, r.end));
  return t('days.ringsOn', { count: dates.length, weeks, dates: spans.join(', ') });
}

/** Whether a bell at `at` ("HH:MM:SS") falls in one of the quiet periods: from its start, up to but not at its end. */
export function inQuiet(at: string, quiet: Pick<PlannedQuiet, 'from' | 'to'>[]): boolean {
  const seconds = (text: string) => {
    const parsed = parseTime(text);
    return parsed.ok ? timeToSeconds(parsed.value) : NaN;
  };
  const when = seconds(at);
  return quiet.some((q) => seconds(q.from) <= when && when < seconds(q.to));
}

/** The Monday of the week `offset` weeks after the week of `today` ("YYYY-MM-DD"); null when `today` is unreadable. */
export function weekStart(today: string, offset: number): string | null {
  const parsed = parseDate(today);
  if (!parsed.ok) return null;
  return formatDate(addDays(parsed.value, offset * 7 - weekdayOf(parsed.value)));
}

/** The name a new one-off event is given, for the user to change: "Exam timetable on Thu 12 Dec", "No bells Mon 14 Dec – Fri 18 Dec". */
export function eventNameFor(timetableId: string, timetables: NamedId[], start: string, end = start): string {
  const dates = dateSpan(start, end);
  return timetableId === NULL_ID ? t('days.nameNoBells', { dates }) : t('days.nameTimetable', { timetable: timetableLabel(timetableId, timetables), dates });
}
