import { describe, expect, it } from 'vitest';
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
      'Short day (extra play, second channel: warning before the end)',
      'the alarm',
    ]);
    expect(usedBySentence(signalUsers('ping', db), 'nobody')).toBe('Used by: Exam (warning before the start), the signal before announcements.');
    expect(usedBySentence(signalUsers('melody', db), 'nobody')).toBe('nobody');
  });

  it('finds the places that play a deleted signal', () => {
    expect(missingSignalRoles(db.timetables.S, new Set(['ping']))).toEqual(['extra play', 'second channel: warning before the end']);
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
