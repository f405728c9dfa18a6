// What refers to what: the timetables and settings that play a signal, the calendar entries that
// choose a timetable, and the references that point at something deleted. Always in words.
import { NULL_ID, type Database } from '../api/types';
import { describeDate } from './time';
import { describeMask, recurrenceLabel } from './weekdays';

type Role = 'startOfClass' | 'endOfClass' | 'preStart' | 'preEnd';
type Play = { id: string };
/** The plays of a timetable, stored or being edited. */
export interface Plays {
  chA: Record<Role, Play>;
  chB: Record<Role, Play>;
  customPlays: { desc: Play }[];
}

const ROLES: [Role, string][] = [
  ['preStart', 'warning before the start'],
  ['startOfClass', 'start of lesson'],
  ['preEnd', 'warning before the end'],
  ['endOfClass', 'end of lesson'],
];

/**
 * The places of a timetable whose play matches `test`, as words: "end of lesson", "extra play",
 * and for the second channel, which never rings, "second channel: end of lesson".
 */
export function rolesIn(timetable: Plays, test: (play: Play) => boolean): string[] {
  const roles: string[] = [];
  for (const [field, label] of ROLES) if (test(timetable.chA[field])) roles.push(label);
  if (timetable.customPlays.some((play) => test(play.desc))) roles.push('extra play');
  for (const [field, label] of ROLES) if (test(timetable.chB[field])) roles.push(`second channel: ${label}`);
  return roles;
}

/** "Used by" entries for a signal: "Normal day (end of lesson), Short day (extra play), the alarm". */
export function signalUsers(signalId: string, db: Pick<Database, 'timetables' | 'settings'>): string[] {
  const users: string[] = [];
  for (const timetable of Object.values(db.timetables)) {
    const roles = rolesIn(timetable, (play) => play.id === signalId);
    if (roles.length) users.push(`${timetable.name} (${roles.join(', ')})`);
  }
  if (db.settings.alarmSignalId === signalId) users.push('the alarm');
  if (db.settings.announcementSignalId === signalId) users.push('the signal before announcements');
  return users;
}

/** The places of a timetable that play a signal that is no longer there (nothing sounds there). */
export function missingSignalRoles(timetable: Plays, songIds: Set<string>): string[] {
  return rolesIn(timetable, (play) => play.id !== NULL_ID && !songIds.has(play.id));
}

/** "Used by" entries for a timetable: the default, today's choice, and the calendar events. */
export function timetableUsers(timetableId: string, db: Pick<Database, 'settings'>): string[] {
  const { settings } = db;
  const users: string[] = [];
  if (settings.defaultTimetableId === timetableId) users.push('every school day (it is the default)');
  if (settings.dailyPreferences.selectedTimetableId === timetableId) users.push('today, chosen on the dashboard');
  for (const event of settings.calendar.singleEvents)
    if (event.timeTableId === timetableId)
      users.push(event.start === event.end ? `the one-off event on ${describeDate(event.start)}` : `the one-off event from ${describeDate(event.start)} to ${describeDate(event.end)}`);
  for (const event of settings.calendar.reoccurringEvents)
    if (event.timeTableId === timetableId) users.push(`the recurring event on ${describeMask(event.days)} of ${recurrenceLabel(event.mode).toLowerCase()}`);
  return users;
}

/** "Used by: a, b." or the sentence for nothing. */
export function usedBySentence(users: string[], nobody: string): string {
  return users.length ? `Used by: ${users.join(', ')}.` : nobody;
}
