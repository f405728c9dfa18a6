// What refers to what: the timetables and settings that play a signal, the calendar entries that
// choose a timetable, and the references that point at something deleted. Always in words, in the
// active language.
import { NULL_ID, type Database } from '../api/types';
import { t, type MessageKey } from '../i18n';
import { timetableName } from '../i18n/factoryNames';
import { describeDate } from './time';
import { describeMask, RECURRENCE_MODES } from './weekdays';

type Role = 'startOfClass' | 'endOfClass' | 'preStart' | 'preEnd';
type Play = { id: string };
/** The plays of a timetable, stored or being edited. */
export interface Plays {
  chA: Record<Role, Play>;
  chB: Record<Role, Play>;
  customPlays: { desc: Play }[];
}

/** Each place of a lesson, in the bells that ring and in the spare bells. */
const ROLES: [Role, MessageKey, MessageKey][] = [
  ['preStart', 'usage.warningBeforeStart', 'usage.spareWarningBeforeStart'],
  ['startOfClass', 'usage.startOfLesson', 'usage.spareStartOfLesson'],
  ['preEnd', 'usage.warningBeforeEnd', 'usage.spareWarningBeforeEnd'],
  ['endOfClass', 'usage.endOfLesson', 'usage.spareEndOfLesson'],
];

/**
 * The places of a timetable whose play matches `test`, as words: "end of lesson", "extra bell",
 * and for the spare bells, which never ring, "spare bells: end of lesson".
 */
export function rolesIn(timetable: Plays, test: (play: Play) => boolean): string[] {
  const roles: string[] = [];
  for (const [field, label] of ROLES) if (test(timetable.chA[field])) roles.push(t(label));
  if (timetable.customPlays.some((play) => test(play.desc))) roles.push(t('usage.extraBell'));
  for (const [field, , spare] of ROLES) if (test(timetable.chB[field])) roles.push(t(spare));
  return roles;
}

/** "Used by" entries for a signal: "Normal day (end of lesson), Short day (extra bell), the alarm". */
export function signalUsers(signalId: string, db: Pick<Database, 'timetables' | 'settings'>): string[] {
  const users: string[] = [];
  for (const [id, timetable] of Object.entries(db.timetables)) {
    const roles = rolesIn(timetable, (play) => play.id === signalId);
    if (roles.length) users.push(t('usage.timetableAt', { timetable: timetableName(id, timetable.name), places: roles.join(', ') }));
  }
  if (db.settings.alarmSignalId === signalId) users.push(t('usage.theAlarm'));
  if (db.settings.announcementSignalId === signalId) users.push(t('usage.beforeAnnouncements'));
  return users;
}

/** The places of a timetable that play a signal that is no longer there (nothing sounds there). */
export function missingSignalRoles(timetable: Plays, songIds: Set<string>): string[] {
  return rolesIn(timetable, (play) => play.id !== NULL_ID && !songIds.has(play.id));
}

/** Which weeks a recurring event keeps, as the messages choose their words by it. */
function weeksOf(mode: number): 'every' | 'even' | 'odd' | 'other' {
  const known = RECURRENCE_MODES.some((m) => m.code === mode);
  if (!known) return 'other';
  return mode === 2 ? 'even' : mode === 3 ? 'odd' : 'every';
}

/** "Used by" entries for a timetable: the default, today's choice, and the calendar events. */
export function timetableUsers(timetableId: string, db: Pick<Database, 'settings'>): string[] {
  const { settings } = db;
  const users: string[] = [];
  if (settings.defaultTimetableId === timetableId) users.push(t('usage.everySchoolDay'));
  if (settings.dailyPreferences.selectedTimetableId === timetableId) users.push(t('usage.chosenToday'));
  for (const event of settings.calendar.singleEvents)
    if (event.timeTableId === timetableId)
      users.push(
        event.start === event.end
          ? t('usage.oneOffOn', { date: describeDate(event.start) })
          : t('usage.oneOffFromTo', { start: describeDate(event.start), end: describeDate(event.end) }),
      );
  for (const event of settings.calendar.reoccurringEvents)
    if (event.timeTableId === timetableId)
      users.push(t('usage.recurringOn', { days: describeMask(event.days), weeks: weeksOf(event.mode), code: event.mode }));
  return users;
}

/** "Used by: a, b." or the sentence for nothing. */
export function usedBySentence(users: string[], nobody: string): string {
  return users.length ? t('usage.usedBy', { users: users.join(', ') }) : nobody;
}
