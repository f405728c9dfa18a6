import { afterAll, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import type { Database, PlayDesc, SignalTable, TimeTable } from '../src/api/types';
import { missingSignalRoles, signalUsers, timetableUsers, usedBySentence } from '../src/lib/usage';

const play = (id = 'NULL'): PlayDesc => ({ id, doRepeat: false, iterations: 2, delaySec: 1 });
const channel = (plays: Partial<Record<'startOfClass' | 'endOfClass' | 'preStart' | 'preEnd', string>>): SignalTable => ({
  lessons: ['08:00 - 08:45'],
  startOfClass: play(plays.startOfClass),
  endOfClass: play(plays.endOfClass),
  preStartWaitMin: 5,
  preStart: play(plays.preStart),
  preEndWaitMin: 5,
  preEnd: play(plays.preEnd),
});
const timetable = (name: string, a: Parameters<typeof channel>[0], extra: string[] = [], b: Parameters<typeof channel>[0] = {}): TimeTable => ({
  name,
  chA: channel(a),
  chB: channel(b),
  customPlays: extra.map((id) => ({ desc: play(id), slots: ['07:55'] })),
});

const settings: Database['settings'] = {
  defaultTimetableId: 'N',
  schedulerEnable: true,
  dailyPreferences: { selectedTimetableId: 'S', _lastDay: 340 },
  alarmSignalId: 'gong',
  alarmDelaySec: 0,
  announcementSignalId: 'ping',
  calendar: {
    workdayMode: 15,
    syncRegionId: 'hu',
    syncSchoolHolidays: true,
    singleEvents: [{ timeTableId: 'S', start: '2026-12-18', end: '2026-12-18' }],
    reoccurringEvents: [{ timeTableId: 'S', mode: 3, days: 16 }],
  },
};
const db = {
  settings,
  timetables: {
    N: timetable('Normal day', { startOfClass: 'gong', endOfClass: 'gong' }),
    S: timetable('Short day', {}, ['gong'], { preEnd: 'gong' }),
    X: timetable('Exam', { preStart: 'ping' }),
  },
};

describe('what uses a signal', () => {
  it('names each timetable with the places it plays it, and the settings', () => {
    expect(signalUsers('gong', db)).toEqual([
      'Normal day (start of lesson, end of lesson)',
      'Short day (extra bell, spare bells: warning before the end)',
      'the alarm',
    ]);
    expect(usedBySentence(signalUsers('ping', db), 'nobody')).toBe('Used by: Exam (warning before the start), the signal before announcements.');
    expect(usedBySentence(signalUsers('melody', db), 'nobody')).toBe('nobody');
  });

  it('finds the places that play a deleted signal', () => {
    expect(missingSignalRoles(db.timetables.S, new Set(['ping']))).toEqual(['extra bell', 'spare bells: warning before the end']);
    expect(missingSignalRoles(db.timetables.X, new Set(['ping']))).toEqual([]);
  });
});

describe('what uses a timetable', () => {
  it('names the default, today’s choice and the calendar events in words', () => {
    expect(timetableUsers('N', db)).toEqual(['every school day (it is the default)']);
    expect(timetableUsers('S', db)).toEqual([
      'today, chosen on the dashboard',
      'the one-off event on Friday, 18 December 2026',
      'the recurring event on Fri of odd weeks',
    ]);
    expect(timetableUsers('X', db)).toEqual([]);
  });
});

describe('the uses in each language', () => {
  afterAll(() => activate('en'));
  const calendar = {
    ...settings.calendar,
    singleEvents: [{ timeTableId: 'S', start: '2026-12-21', end: '2026-12-23' }],
    reoccurringEvents: [{ timeTableId: 'S', mode: 2, days: 0b101 }],
  };
  // The first timetable, not renamed: its name follows the language.
  const first = timetable('Default', { endOfClass: 'gong' });

  it.each<[Locale, string, string]>([
    [
      'hu',
      'Használja: a mai nap (az áttekintésben kiválasztva), az egyszeri esemény (2026. december 21., hétfő – 2026. december 23., szerda), az ismétlődő esemény (páros heteken: H, Sze).',
      'Használja: Short day (külön csengetés, tartalék csengetés: kicsengetés előtti jelzés), Alap csengetési rend (kicsengetés), a riasztás.',
    ],
    [
      'de',
      'Verwendung: heute (in der Übersicht gewählt), der einmalige Eintrag vom Montag, 21. Dezember 2026 bis Mittwoch, 23. Dezember 2026, der regelmäßige Eintrag in geraden Wochen (Mo, Mi).',
      'Verwendung: Short day (Zusatzklingeln, Reserve: Vorklingeln vor Stundenende), Standard-Stundenplan (Stundenende), der Alarm.',
    ],
  ])('%s writes each use as a whole sentence of its own', async (locale, timetable, signal) => {
    await activate(locale);
    expect(usedBySentence(timetableUsers('S', { settings: { ...settings, calendar } }), '')).toBe(timetable);
    expect(usedBySentence(signalUsers('gong', { ...db, timetables: { S: db.timetables.S, ID_factory_default_timetable: first } }), '')).toBe(signal);
  });
});
