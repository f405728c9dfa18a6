import { afterAll, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import type { Month, MonthDay, TimetableInfo } from '../src/api/types';
import { DAY_KINDS, dayBells, dayKindInfo, describeDayBells, explainToday, monthGrid, nextOccurrences } from '../src/lib/calendar';

function month(year: number, monthNo: number, firstShown: number, daysBefore: number, length: number, total: number): Month {
  const days: MonthDay[] = [];
  for (let i = 0; i < daysBefore; i++) days.push({ id: 'NULL', day: firstShown + i, typeOfDay: 'NON_WORKDAY', isToday: false, isGivenMonth: false });
  for (let d = 1; d <= length; d++) days.push({ id: 'T', day: d, typeOfDay: 'WORKDAY', isToday: d === 10, isGivenMonth: true });
  for (let d = 1; days.length < total; d++) days.push({ id: 'NULL', day: d, typeOfDay: 'NON_WORKDAY', isToday: false, isGivenMonth: false });
  return { year, month: monthNo, defaultTimetableId: 'T', days };
}

describe('month grid', () => {
  it('dates every entry from the Monday before the 1st', () => {
    // September 2024 begins on a Sunday: six days of August come first, 42 entries in all.
    const weeks = monthGrid(month(2024, 9, 26, 6, 30, 42));
    expect(weeks).toHaveLength(6);
    expect(weeks[0].cells[0].dateText).toBe('2024-08-26');
    expect(weeks[0].cells[6].dateText).toBe('2024-09-01');
    expect(weeks[0].cells[6].weekday).toBe(6);
    expect(weeks[5].cells[6].dateText).toBe('2024-10-06');
    expect(weeks[0].isoWeek).toBe(35);
    expect(weeks[1].isoWeek).toBe(36);
  });

  it('starts on the 1st when the month begins on a Monday', () => {
    // February 2021: 28 days from Monday the 1st.
    const weeks = monthGrid(month(2021, 2, 1, 0, 28, 28));
    expect(weeks).toHaveLength(4);
    expect(weeks[0].cells[0].dateText).toBe('2021-02-01');
    expect(weeks[3].cells[6].dateText).toBe('2021-02-28');
  });

  it('crosses the year in December', () => {
    const weeks = monthGrid(month(2025, 12, 1, 0, 31, 35));
    expect(weeks[4].cells[3].dateText).toBe('2026-01-01');
    expect(weeks[4].isoWeek).toBe(1);
  });

  it('refuses an answer whose days do not fit the month', () => {
    const wrong = month(2024, 9, 27, 6, 30, 42);
    expect(() => monthGrid(wrong)).toThrow(/entry 0 is day 27, expected 26/);
  });
});

describe('kinds of day', () => {
  it('labels the server texts, including the extra workday', () => {
    expect(dayKindInfo('REPLACED_WORKDAY').label).toBe('Extra school day');
    expect(dayKindInfo('SCHOOL_BREAK').className).toBe('kind-break');
    expect(dayKindInfo('SOMETHING_NEW').className).toBe('kind-other');
    // Only on these does a missing timetable mean an event silenced the day.
    expect(DAY_KINDS.filter((k) => k.ringsByDefault).map((k) => k.kind)).toEqual(['WORKDAY', 'REPLACED_WORKDAY']);
    expect(dayKindInfo('SOMETHING_NEW').ringsByDefault).toBe(false);
  });
});

describe('the bells of a day', () => {
  const timetables = [{ id: 'A', name: 'Normal day' }];
  it('says first whether bells ring, then the kind of day, and marks what an event overrides', () => {
    const cases: [string, Pick<MonthDay, 'id' | 'typeOfDay'>, boolean, string][] = [
      ['a school day', { id: 'A', typeOfDay: 'WORKDAY' }, true, 'bells by Normal day; school day'],
      ['an extra school day', { id: 'A', typeOfDay: 'REPLACED_WORKDAY' }, true, 'bells by Normal day; extra school day'],
      ['a school day silenced by an event', { id: 'NULL', typeOfDay: 'WORKDAY' }, true, 'no bells; school day'],
      ['a holiday overridden by an event', { id: 'A', typeOfDay: 'HOLIDAY' }, true, 'bells by Normal day, although it is a public holiday: a calendar event overrides it'],
      ['a weekend overridden by an event', { id: 'A', typeOfDay: 'NON_WORKDAY' }, true, 'bells by Normal day, although it is a day off: a calendar event overrides it'],
      ['a deleted timetable', { id: 'gone', typeOfDay: 'WORKDAY' }, true, 'no bells: its timetable was deleted; school day'],
      ['bells switched off', { id: 'A', typeOfDay: 'HOLIDAY' }, false, 'no bells: the bells are switched off; public holiday'],
    ];
    for (const [what, day, bellsOn, sentence] of cases) expect(describeDayBells(dayBells(day, timetables, bellsOn)), what).toBe(sentence);
    expect(dayBells({ id: 'A', typeOfDay: 'SCHOOL_BREAK' }, timetables, true)).toMatchObject({ rings: true, title: 'Normal day', overrides: true });
  });
});

describe('why a timetable is in force', () => {
  const base: TimetableInfo = { id: 'A', source: 'NORMAL', date: '2024-09-02', dayOfWeek: 0, typeOfDay: 'WORKDAY', programmeToday: null };
  const timetables = [
    { id: 'A', name: 'Normal day' },
    { id: 'B', name: 'Short day' },
  ];

  it('names the switched-off scheduler', () => {
    expect(explainToday({ ...base, id: 'NULL', source: 'DISABLED' }, timetables, 'A')).toEqual({
      title: 'No bells',
      reason: 'The bells are switched off in the settings.',
    });
  });

  it('tells the default of a school day from a calendar event', () => {
    expect(explainToday(base, timetables, 'A')).toEqual({ title: 'Normal day', reason: 'Today is a school day: the default timetable.' });
    expect(explainToday({ ...base, id: 'B' }, timetables, 'A').reason).toBe('Today is a school day: a calendar event chooses this timetable.');
    expect(explainToday({ ...base, typeOfDay: 'HOLIDAY' }, timetables, 'A').reason).toMatch(/calendar event/);
  });

  it('tells a choice by hand, also a silenced day', () => {
    expect(explainToday({ ...base, id: 'B', source: 'DAILY_OVERRIDE' }, timetables, 'A').title).toBe('Short day');
    expect(explainToday({ ...base, id: 'NULL', source: 'DAILY_OVERRIDE' }, timetables, 'A')).toEqual({
      title: 'No bells',
      reason: 'Silenced for today by hand.',
    });
  });

  it('says nothing rings when today’s timetable was deleted', () => {
    expect(explainToday({ ...base, id: 'gone' }, timetables, 'A').title).toBe('No bells');
  });

  it('says a day off has no timetable', () => {
    expect(explainToday({ ...base, id: 'NULL', typeOfDay: 'NON_WORKDAY' }, timetables, 'A')).toEqual({
      title: 'No bells',
      reason: 'Today is a day off: no timetable by the calendar.',
    });
  });
});

describe('the days in each language', () => {
  afterAll(() => activate('en'));
  const FIRST = 'ID_factory_default_timetable';
  const timetables = [{ id: 'A', name: 'Normal day' }, { id: FIRST, name: 'Default' }];
  const today: TimetableInfo = { id: 'NULL', source: 'NORMAL', date: '2024-09-02', dayOfWeek: 0, typeOfDay: 'SCHOOL_BREAK', programmeToday: null };

  it.each<[Locale, string, string, string, string, string]>([
    ['en', 'School holiday', 'bells by Normal day, although it is a school holiday: a calendar event overrides it', 'no bells: the bells are switched off; extra school day', 'Today is a school holiday: no timetable by the calendar.', 'Default'],
    ['hu', 'Tanítási szünet', 'csengetés: Normal day, bár tanítási szünet van: egy naptári esemény felülírja', 'nincs csengetés: a csengetés ki van kapcsolva; rendkívüli tanítási nap', 'Ma tanítási szünet van: a naptár szerint nincs csengetési rend.', 'Alap csengetési rend'],
    ['de', 'Ferien', 'Klingeln nach Normal day, obwohl es ein Ferientag ist: Ein Kalendereintrag geht vor', 'kein Klingeln: das Klingeln ist ausgeschaltet; zusätzlicher Schultag', 'Heute ist ein Ferientag: Laut Kalender gilt kein Stundenplan.', 'Standard-Stundenplan'],
  ])('%s names the kind of day as a label and within sentences', async (locale, label, overridden, silent, reason, first) => {
    await activate(locale);
    // The table of kinds is made once; its words follow the language chosen since.
    expect(DAY_KINDS.find((k) => k.kind === 'SCHOOL_BREAK')?.label).toBe(label);
    expect(describeDayBells(dayBells({ id: 'A', typeOfDay: 'SCHOOL_BREAK' }, timetables, true))).toBe(overridden);
    expect(describeDayBells(dayBells({ id: 'A', typeOfDay: 'REPLACED_WORKDAY' }, timetables, false))).toBe(silent);
    expect(explainToday(today, timetables, 'A').reason).toBe(reason);
    // The first timetable, not renamed, under its name in the language.
    expect(dayBells({ id: FIRST, typeOfDay: 'WORKDAY' }, timetables, true).title).toBe(first);
    expect(explainToday({ ...today, id: FIRST, typeOfDay: 'WORKDAY' }, timetables, FIRST).title).toBe(first);
  });
});

describe('next occurrences of a recurring event', () => {
  it('finds the chosen weekdays of every week', () => {
    // Mondays and Wednesdays from Thursday 2024-09-05.
    expect(nextOccurrences(1, 0b101, '2024-09-05', 3)).toEqual(['2024-09-09', '2024-09-11', '2024-09-16']);
  });

  it('keeps to even or odd ISO weeks, across the new year', () => {
    // 2024-09-02 is in week 36 (even).
    expect(nextOccurrences(2, 1, '2024-09-02', 2)).toEqual(['2024-09-02', '2024-09-16']);
    expect(nextOccurrences(3, 1, '2024-09-02', 1)).toEqual(['2024-09-09']);
    // Week 53 of 2020 and week 1 of 2021 are both odd.
    expect(nextOccurrences(3, 0b10000, '2020-12-28', 2)).toEqual(['2021-01-01', '2021-01-08']);
  });

  it('finds nothing without days or with a bad start', () => {
    expect(nextOccurrences(1, 0, '2024-09-02', 3)).toEqual([]);
    expect(nextOccurrences(1, 127, 'soon', 3)).toEqual([]);
  });
});
