// The month grid as the interface draws it, the kinds of day, whether bells ring on a day and
// why a timetable is in force.
import { NULL_ID, type DayKind, type Month, type MonthDay, type NamedId, type TimetableInfo } from '../api/types';
import { addDays, type CalendarDate, formatDate, isoWeek, parseDate, weekdayOf } from './time';
import { recurrenceApplies } from './weekdays';
import { timetableLabel } from './forms';

export interface DayKindInfo {
  kind: DayKind;
  label: string;
  /** CSS class that carries the colour. */
  className: string;
  /** Whether the default timetable rings on such a day when no calendar event says otherwise. */
  ringsByDefault: boolean;
}

export const DAY_KINDS: DayKindInfo[] = [
  { kind: 'WORKDAY', label: 'School day', className: 'kind-workday', ringsByDefault: true },
  { kind: 'NON_WORKDAY', label: 'Day off', className: 'kind-off', ringsByDefault: false },
  { kind: 'HOLIDAY', label: 'Public holiday', className: 'kind-holiday', ringsByDefault: false },
  { kind: 'SCHOOL_BREAK', label: 'School break', className: 'kind-break', ringsByDefault: false },
  { kind: 'REPLACED_WORKDAY', label: 'Extra school day', className: 'kind-extra', ringsByDefault: true },
];

export function dayKindInfo(kind: string): DayKindInfo {
  return DAY_KINDS.find((k) => k.kind === kind) ?? { kind: kind as DayKind, label: 'Other day', className: 'kind-other', ringsByDefault: false };
}

/** What rings on one day, first, and what kind of day it is, second. */
export interface DayBells {
  rings: boolean;
  /** The timetable's name, or "No bells". */
  title: string;
  /** Why nothing rings although the calendar names a timetable; null otherwise. */
  silentBecause: string | null;
  kind: DayKindInfo;
  /** Bells ring on a holiday, a school break or a day off: a calendar event overrides the day. */
  overrides: boolean;
}

/**
 * The bells of a day of the month answer. A timetable that no longer exists rings nothing, and
 * with the bells switched off nothing rings on any day.
 */
export function dayBells(day: Pick<MonthDay, 'id' | 'typeOfDay'>, timetables: NamedId[], bellsOn: boolean): DayBells {
  const kind = dayKindInfo(day.typeOfDay);
  const silent = (silentBecause: string | null): DayBells => ({ rings: false, title: 'No bells', silentBecause, kind, overrides: false });
  if (!bellsOn) return silent('the bells are switched off');
  if (day.id === NULL_ID) return silent(null);
  const timetable = timetables.find((t) => t.id === day.id);
  if (!timetable) return silent('its timetable was deleted');
  return { rings: true, title: timetable.name, silentBecause: null, kind, overrides: !kind.ringsByDefault };
}

/** The sentence a screen reader gives for a day of the grid. */
export function describeDayBells(bells: DayBells): string {
  const ring = bells.rings ? `bells by ${bells.title}` : `no bells${bells.silentBecause ? `: ${bells.silentBecause}` : ''}`;
  const kind = bells.kind.label.toLowerCase();
  return bells.overrides ? `${ring}, although it is a ${kind}: a calendar event overrides it` : `${ring}; ${kind}`;
}

export interface GridCell extends MonthDay {
  date: CalendarDate;
  dateText: string;
  weekday: number;
}

export interface GridWeek {
  isoWeek: number;
  cells: GridCell[];
}

/**
 * Gives each entry of the server's padded month its full date. The grid starts on the Monday
 * on or before the 1st; entries whose day number disagrees with that are a sign of a month
 * answer the grid does not understand, and make this throw rather than draw wrong dates.
 */
export function monthGrid(month: Month): GridWeek[] {
  const first: CalendarDate = { y: month.year, m: month.month, d: 1 };
  const start = addDays(first, -weekdayOf(first));
  const cells = month.days.map((day, i): GridCell => {
    const date = addDays(start, i);
    if (date.d !== day.day) throw new Error(`Unexpected calendar answer: entry ${i} is day ${day.day}, expected ${date.d}`);
    return { ...day, date, dateText: formatDate(date), weekday: weekdayOf(date) };
  });
  const weeks: GridWeek[] = [];
  for (let i = 0; i < cells.length; i += 7) {
    const week = cells.slice(i, i + 7);
    weeks.push({ isoWeek: isoWeek(week[0].date), cells: week });
  }
  return weeks;
}

/** A sentence on the timetable in force today and the reason for it. */
export function explainToday(
  info: TimetableInfo,
  timetables: NamedId[],
  defaultTimetableId: string,
): { title: string; reason: string } {
  const name = timetableLabel(info.id, timetables);
  const kind = dayKindInfo(info.typeOfDay).label.toLowerCase();
  if (info.source !== 'DISABLED' && info.id !== NULL_ID && !timetables.some((t) => t.id === info.id))
    return { title: 'No bells', reason: 'The timetable chosen for today was deleted, so nothing rings.' };
  switch (info.source) {
    case 'DISABLED':
      return { title: 'No bells', reason: 'The bells are switched off in the settings.' };
    case 'DAILY_OVERRIDE':
      return {
        title: name,
        reason: info.id === NULL_ID ? 'Silenced for today by hand.' : 'Chosen for today by hand; tomorrow the calendar decides again.',
      };
    default:
      if (info.id === NULL_ID) return { title: 'No bells', reason: `Today is a ${kind}: no timetable by the calendar.` };
      if (info.id === defaultTimetableId && (info.typeOfDay === 'WORKDAY' || info.typeOfDay === 'REPLACED_WORKDAY'))
        return { title: name, reason: `Today is a ${kind}: the default timetable.` };
      return { title: name, reason: `Today is a ${kind}: a calendar event chooses this timetable.` };
  }
}

/** The next `count` days from `from` (included) on which a recurring event applies, within a year. */
export function nextOccurrences(mode: number, mask: number, from: string, count: number): string[] {
  const start = parseDate(from);
  if (!start.ok) return [];
  const found: string[] = [];
  for (let i = 0; i < 366 && found.length < count; i++) {
    const day = addDays(start.value, i);
    if (recurrenceApplies(mode, mask, weekdayOf(day), isoWeek(day))) found.push(formatDate(day));
  }
  return found;
}
