// The month grid as the interface draws it, the kinds of day, whether bells ring on a day and
// why a timetable is in force.
import { NULL_ID, type DayKind, type Month, type MonthDay, type NamedId, type TimetableInfo } from '../api/types';
import { addDays, type CalendarDate, formatDate, isoWeek, parseDate, weekdayOf } from './time';
import { recurrenceApplies } from './weekdays';
import { timetableLabel } from './forms';
import { t, type MessageKey } from '../i18n';
import { timetableName } from '../i18n/factoryNames';

export interface DayKindInfo {
  kind: DayKind;
  /** The kind's name on its own, as on a chip: "School day". */
  readonly label: string;
  /** The kind's name inside a sentence: "school day". */
  readonly inText: string;
  /** The kind as what a day is: "a school day", "an extra school day". */
  readonly aDay: string;
  /** CSS class that carries the colour. */
  className: string;
  /** Whether the default timetable rings on such a day when no calendar event says otherwise. */
  ringsByDefault: boolean;
}

/** A kind of day whose words follow the active language whenever they are read. */
function dayKind(kind: DayKind, words: [MessageKey, MessageKey, MessageKey], className: string, ringsByDefault: boolean): DayKindInfo {
  const [label, inText, aDay] = words;
  return {
    kind,
    get label() {
      return t(label);
    },
    get inText() {
      return t(inText);
    },
    get aDay() {
      return t(aDay);
    },
    className,
    ringsByDefault,
  };
}

export const DAY_KINDS: DayKindInfo[] = [
  dayKind('WORKDAY', ['calendar.kindSchoolDay', 'calendar.kindSchoolDayInText', 'calendar.kindSchoolDayADay'], 'kind-workday', true),
  dayKind('NON_WORKDAY', ['calendar.kindDayOff', 'calendar.kindDayOffInText', 'calendar.kindDayOffADay'], 'kind-off', false),
  dayKind('HOLIDAY', ['calendar.kindPublicHoliday', 'calendar.kindPublicHolidayInText', 'calendar.kindPublicHolidayADay'], 'kind-holiday', false),
  dayKind('SCHOOL_BREAK', ['calendar.kindSchoolHoliday', 'calendar.kindSchoolHolidayInText', 'calendar.kindSchoolHolidayADay'], 'kind-break', false),
  dayKind('REPLACED_WORKDAY', ['calendar.kindExtraSchoolDay', 'calendar.kindExtraSchoolDayInText', 'calendar.kindExtraSchoolDayADay'], 'kind-extra', true),
];

export function dayKindInfo(kind: string): DayKindInfo {
  return DAY_KINDS.find((k) => k.kind === kind) ?? dayKind(kind as DayKind, ['calendar.kindOther', 'calendar.kindOtherInText', 'calendar.kindOtherADay'], 'kind-other', false);
}

/** What rings on one day, first, and what kind of day it is, second. */
export interface DayBells {
  rings: boolean;
  /** The timetable's name, or "No bells". */
  title: string;
  /** Why nothing rings although the calendar names a timetable; null otherwise. */
  silentBecause: string | null;
  kind: DayKindInfo;
  /** Bells ring on a holiday, a school holiday or a day off: a calendar event overrides the day. */
  overrides: boolean;
}

/**
 * The bells of a day of the month answer. A timetable that no longer exists rings nothing, and
 * with the bells switched off nothing rings on any day.
 */
export function dayBells(day: Pick<MonthDay, 'id' | 'typeOfDay'>, timetables: NamedId[], bellsOn: boolean): DayBells {
  const kind = dayKindInfo(day.typeOfDay);
  const silent = (silentBecause: string | null): DayBells => ({ rings: false, title: t('calendar.noBells'), silentBecause, kind, overrides: false });
  if (!bellsOn) return silent(t('calendar.silentBellsOff'));
  if (day.id === NULL_ID) return silent(null);
  const timetable = timetables.find((t) => t.id === day.id);
  if (!timetable) return silent(t('calendar.silentTimetableDeleted'));
  return { rings: true, title: timetableName(timetable.id, timetable.name), silentBecause: null, kind, overrides: !kind.ringsByDefault };
}

/** The sentence a screen reader gives for a day of the grid. */
export function describeDayBells(bells: DayBells): string {
  const kind = bells.kind.inText;
  if (bells.rings)
    return bells.overrides
      ? t('calendar.dayRingsOverriding', { timetable: bells.title, kind: bells.kind.aDay })
      : t('calendar.dayRings', { timetable: bells.title, kind });
  return bells.silentBecause ? t('calendar.daySilentBecause', { reason: bells.silentBecause, kind }) : t('calendar.daySilent', { kind });
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
    if (date.d !== day.day) throw new Error(`Unexpected calendar answer: entry ${i} is day ${day.day}, expected ${date.d}`); // untranslated: a fault of the server's answer, for the developer
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
  const kind = dayKindInfo(info.typeOfDay).aDay;
  const noBells = t('calendar.noBells');
  if (info.source !== 'DISABLED' && info.id !== NULL_ID && !timetables.some((t) => t.id === info.id))
    return { title: noBells, reason: t('calendar.todayTimetableDeleted') };
  switch (info.source) {
    case 'DISABLED':
      return { title: noBells, reason: t('calendar.todayBellsOff') };
    case 'DAILY_OVERRIDE':
      return {
        title: name,
        reason: info.id === NULL_ID ? t('calendar.todaySilencedByHand') : t('calendar.todayChosenByHand'),
      };
    default:
      if (info.id === NULL_ID) return { title: noBells, reason: t('calendar.todayNoTimetable', { kind }) };
      if (info.id === defaultTimetableId && (info.typeOfDay === 'WORKDAY' || info.typeOfDay === 'REPLACED_WORKDAY'))
        return { title: name, reason: t('calendar.todayDefault', { kind }) };
      return { title: name, reason: t('calendar.todayByEvent', { kind }) };
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
