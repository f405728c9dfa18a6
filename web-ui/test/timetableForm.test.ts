import { afterAll, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import type { TimeTable } from '../src/api/types';
import {
  emptyDraft,
  fromDraft,
  lessonProblems,
  move,
  nextLesson,
  readDecimal,
  readInteger,
  sortLessons,
  toDraft,
  type LessonDraft,
} from '../src/lib/timetableForm';

const play = (id = 'NULL') => ({ id, doRepeat: false, iterations: 2, delaySec: 1.0 });
const channel = (lessons: string[]) => ({
  lessons,
  startOfClass: play('ID_melody'),
  endOfClass: play('ID_melody'),
  preStartWaitMin: 5,
  preStart: play('ID_ping'),
  preEndWaitMin: 3,
  preEnd: { id: 'ID_ping', doRepeat: true, iterations: 3, delaySec: 0.5 },
});

const stored: TimeTable = {
  name: 'Normal day',
  chA: channel(['08:00 - 08:45', '09:00 - 09:45:30']),
  chB: channel([]),
  customPlays: [{ desc: play('ID_bigben'), slots: ['07:55', '12:00:30'] }],
};

const lesson = (start: string, end: string): LessonDraft => ({ key: Math.random(), start, end });

describe('timetable form', () => {
  it('gives back the stored record unchanged when nothing was edited', () => {
    expect(fromDraft(toDraft(stored))).toEqual({ ok: true, timetable: stored });
  });

  it('writes times from the inputs in the stored form', () => {
    const draft = toDraft(stored);
    draft.chA.lessons[0] = { ...draft.chA.lessons[0], start: '08:05:00', end: '08:50:15' };
    draft.customPlays[0].slots[0] = { ...draft.customPlays[0].slots[0], time: '07:50:00' };
    const result = fromDraft(draft);
    expect(result.ok).toBe(true);
    if (result.ok) {
      expect(result.timetable.chA.lessons[0]).toBe('08:05 - 08:50:15');
      expect(result.timetable.customPlays[0].slots[0]).toBe('07:50');
    }
  });

  it('marks every bad field by its path', () => {
    const draft = toDraft(stored);
    draft.name = '  ';
    draft.chA.lessons[1] = { ...draft.chA.lessons[1], start: '', end: '09:00' };
    draft.chA.lessons[0] = { ...draft.chA.lessons[0], start: '09:00', end: '08:00' };
    draft.chB.preEndWaitMin = '-2';
    draft.chA.preEnd = { ...draft.chA.preEnd, iterations: '0' };
    draft.customPlays[0].slots[1] = { ...draft.customPlays[0].slots[1], time: '07:55' };
    const result = fromDraft(draft);
    expect(result.ok).toBe(false);
    if (!result.ok)
      expect(result.errors).toEqual({
        name: 'Give the timetable a name',
        'chA.lessons.0.end': 'The lesson must end after it starts',
        'chA.lessons.1.start': 'Enter a time',
        'chA.preEnd.iterations': 'Enter a number from 1 to 100',
        'chB.preEndWaitMin': 'Enter a number from 0 to 1439',
        'customPlays.0.slots.1': '07:55 is listed twice',
      });
  });

  it('ignores the repeat numbers of a signal that does not repeat', () => {
    const draft = toDraft(stored);
    draft.chA.startOfClass = { ...draft.chA.startOfClass, doRepeat: false, iterations: '', delaySec: 'x' };
    const result = fromDraft(draft);
    expect(result.ok).toBe(true);
    if (result.ok) expect(result.timetable.chA.startOfClass).toEqual({ id: 'ID_melody', doRepeat: false, iterations: 2, delaySec: 1 });
  });

  it('starts new timetables with six lessons and no signals', () => {
    const result = fromDraft(emptyDraft('New'));
    expect(result.ok).toBe(true);
    if (result.ok) {
      expect(result.timetable.chA.lessons).toEqual(['08:00 - 08:45', '09:00 - 09:45', '10:00 - 10:45', '11:00 - 11:45', '12:00 - 12:45', '13:00 - 13:45']);
      expect(result.timetable.chA.startOfClass.id).toBe('NULL');
      expect(result.timetable.customPlays).toEqual([]);
    }
  });

  it('keeps an unreadable stored lesson visible for fixing', () => {
    const draft = toDraft({ ...stored, chA: channel(['8 - late']) });
    expect(draft.chA.lessons[0]).toMatchObject({ start: '8', end: 'late' });
    expect(fromDraft(draft).ok).toBe(false);
  });
});

describe('numbers', () => {
  it('reads whole and decimal numbers within limits', () => {
    expect(readInteger(' 5 ', 0, 10)).toBe(5);
    expect(readInteger('5.5', 0, 10)).toBe('Enter a whole number');
    expect(readInteger('11', 0, 10)).toBe('Enter a number from 0 to 10');
    expect(readDecimal('0.5', 0, 10)).toBe(0.5);
    expect(readDecimal('.5', 0, 10)).toBe(0.5);
    expect(readDecimal('', 0, 10)).toBe('Enter a number');
    expect(readDecimal('-1', 0, 10)).toBe('Enter a number from 0 to 10');
  });
});

describe('lesson list', () => {
  it('moves a lesson up and down, and not past the ends', () => {
    const list = ['a', 'b', 'c'];
    expect(move(list, 1, -1)).toEqual(['b', 'a', 'c']);
    expect(move(list, 1, 1)).toEqual(['a', 'c', 'b']);
    expect(move(list, 0, -1)).toBe(list);
    expect(move(list, 2, 1)).toBe(list);
  });

  it('sorts by start time, seconds included', () => {
    const sorted = sortLessons([lesson('10:00', '10:45'), lesson('08:00:30', '08:45'), lesson('08:00', '08:40')]);
    expect(sorted.map((l) => l.start)).toEqual(['08:00', '08:00:30', '10:00']);
  });

  it('refuses lessons out of order, the same twice, or overlapping, naming them', () => {
    const cases: [string, LessonDraft[], Record<string, string>][] = [
      ['in order, back to back', [lesson('08:00', '08:45'), lesson('08:45', '09:30')], {}],
      ['out of order: only sorting is asked for', [lesson('09:00', '09:45'), lesson('08:00', '08:45'), lesson('08:00', '08:45')], { '': 'Lesson 2 starts before lesson 1: sort the lessons by their start first.' }],
      ['the same twice', [lesson('08:00', '08:45'), lesson('08:00', '08:45')], { '1.start': 'Lesson 2 is the same as lesson 1' }],
      ['overlapping', [lesson('08:00', '08:45'), lesson('08:30', '09:15')], { '1.start': 'Lesson 2 starts before lesson 1 ends at 08:45' }],
      ['inside a long one', [lesson('08:00', '10:00'), lesson('08:30', '08:40'), lesson('09:00', '09:30')], {
        '1.start': 'Lesson 2 starts before lesson 1 ends at 10:00',
        '2.start': 'Lesson 3 starts before lesson 1 ends at 10:00',
      }],
      ['unreadable lessons are left to the field checks', [lesson('08:00', '08:45'), lesson('soon', '08:50')], {}],
    ];
    for (const [what, lessons, problems] of cases) expect(lessonProblems(lessons), what).toEqual(problems);
  });

  it('blocks saving on such lessons and on warnings that reach into the day before', () => {
    const draft = toDraft(stored);
    draft.chA.lessons = [lesson('08:00', '08:45'), lesson('08:30', '09:15')];
    draft.chA.preStartWaitMin = '481';
    draft.chB.lessons = [lesson('00:10', '00:40')];
    draft.chB.preEndWaitMin = '30';
    draft.chB.preEnd = { ...draft.chB.preEnd, id: 'NULL' };
    const result = fromDraft(draft);
    expect(result.ok).toBe(false);
    if (!result.ok)
      expect(result.errors).toEqual({
        'chA.lessons.1.start': 'Lesson 2 starts before lesson 1 ends at 08:45',
        'chA.preStartWaitMin': 'The day has only 480 minutes before lesson 1 starts at 08:00',
      });
    draft.chA.preStartWaitMin = '480';
    draft.chA.lessons = [lesson('08:00', '08:45'), lesson('08:45', '09:30')];
    expect(fromDraft(draft).ok).toBe(true);
  });

  it('refuses the name of another timetable, in any case', () => {
    const result = fromDraft({ ...toDraft(stored), name: ' short DAY ' }, ['Normal day', 'Short day']);
    expect(result.ok).toBe(false);
    if (!result.ok) expect(result.errors).toEqual({ name: 'Another timetable is already called “short DAY”' });
    expect(fromDraft(toDraft(stored), ['Short day']).ok).toBe(true);
  });

  it('proposes the next lesson after the last one: its length, a 10-minute break', () => {
    expect(nextLesson([lesson('08:00', '08:45'), lesson('08:55', '09:40')])).toMatchObject({ start: '09:50', end: '10:35' });
    expect(nextLesson([lesson('08:00', '08:30')], { length: 40, pause: 15 })).toMatchObject({ start: '08:45', end: '09:25' });
    // After the lesson that ends last, even when the list is not in order.
    expect(nextLesson([lesson('10:00', '10:50'), lesson('08:00', '08:45')])).toMatchObject({ start: '11:00', end: '11:50' });
    expect(nextLesson([])).toMatchObject({ start: '08:00', end: '08:45' });
    expect(nextLesson([lesson('23:00', '23:30')])).toBeNull();
  });
});

describe('the problems in each language', () => {
  afterAll(() => activate('en'));

  it.each<[Locale, string, string, string]>([
    ['hu', '2. óra: akkor kezdődik, amikor a korábbi 1. óra még tart (vége: 08:45:30)', '1. óra: kezdete 00:01, előtte csak 1 perc van a napból', 'Adjon meg egy számot 0 és 1439 között'],
    ['de', 'Die 2. Stunde beginnt, bevor die 1. Stunde um 08:45:30\u00a0Uhr endet', 'Vor Beginn der 1. Stunde um 00:01\u00a0Uhr hat der Tag nur 1 Minute', 'Bitte geben Sie eine Zahl von 0 bis 1439 ein'],
    ['en', 'Lesson 2 starts before lesson 1 ends at 08:45:30', 'The day has only 1 minute before lesson 1 starts at 00:01', 'Enter a number from 0 to 1439'],
  ])('%s names the lessons, times and limits', async (locale, overlap, noRoom, range) => {
    await activate(locale);
    expect(lessonProblems([lesson('08:00', '08:45:30'), lesson('08:30', '09:15')])).toEqual({ '1.start': overlap });
    const draft = toDraft(stored);
    draft.chA.lessons = [lesson('00:01', '00:40')];
    draft.chA.preStartWaitMin = '2';
    const result = fromDraft(draft);
    expect(result.ok ? {} : result.errors).toEqual({ 'chA.preStartWaitMin': noRoom });
    expect(readInteger('1440', 0, 1439)).toBe(range);
  });
});
