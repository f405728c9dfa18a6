import { afterAll, describe, expect, it } from 'vitest';
import type { DayPlan } from '../src/api/types';
import { activate } from '../src/i18n';
import { dateRanges, dateSpan, dayReason, eventNameFor, firstAndLast, inQuiet, nextDayWithBells, ringingDates, ringsLine, weekStart } from '../src/lib/days';

const bell = (at: string) => ({ at, source: 'lessonStart' as const, lesson: 1, songName: 'ping' });

function day(date: string, over: Partial<DayPlan> = {}): DayPlan {
  return { date, dayOfWeek: 0, isToday: false, typeOfDay: 'WORKDAY', timetableId: 'A', reason: 'DEFAULT', event: null, bells: [bell('08:00:00')], programmes: [], quiet: [], ...over };
}

const timetables = [
  { id: 'A', name: 'Normal day' },
  { id: 'X', name: 'Exam' },
];

describe('why a day rings as it does', () => {
  it.each<[string, Partial<DayPlan>, string]>([
    ['the default of a school day', {}, 'School day: the default timetable'],
    ['the default of an extra school day', { typeOfDay: 'REPLACED_WORKDAY' }, 'Extra school day: the default timetable'],
    ['a public holiday', { typeOfDay: 'HOLIDAY', timetableId: 'NULL', reason: 'NO_SCHOOL' }, 'Public holiday: no bells'],
    ['a named one-off event', { reason: 'SINGLE_EVENT', event: { kind: 'single', index: 0, name: 'Exam week', start: '2026-12-14', end: '2026-12-18' } }, 'One-off event “Exam week”'],
    ['a named recurring event', { reason: 'RECURRING_EVENT', event: { kind: 'recurring', index: 2, name: 'Short Fridays', mode: 1, days: 16 } }, 'Recurring event “Short Fridays”'],
    ['an unnamed recurring event, by its weeks and days', { reason: 'RECURRING_EVENT', event: { kind: 'recurring', index: 0, name: '', mode: 3, days: 5 } }, 'Recurring event: Odd weeks, Mon, Wed'],
    ['today chosen by hand', { reason: 'DAILY_OVERRIDE', timetableId: 'X' }, 'Chosen for today by hand'],
    ['today silenced by hand', { reason: 'DAILY_OVERRIDE', timetableId: 'NULL' }, 'Silenced for today by hand'],
  ])('%s', (_what, over, want) => {
    expect(dayReason(day('2026-12-10', over))).toBe(want);
  });

  // The dates themselves are the platform's to write (its ICU data differs between Node versions):
  // the sentence around them is the interface's.
  it('an unnamed one-off event, by its dates', () => {
    const event = { kind: 'single' as const, index: 0, name: ' ', start: '2026-12-14', end: '2026-12-18' };
    expect(dayReason(day('2026-12-10', { reason: 'SINGLE_EVENT', event }))).toBe(`One-off event: ${dateSpan('2026-12-14', '2026-12-18')}`);
  });
});

describe('the days a timetable rings on', () => {
  it.each<[string, string[], { start: string; end: string }[]]>([
    ['none', [], []],
    ['following days in any order, each once', ['2026-12-16', '2026-12-14', '2026-12-15', '2026-12-15'], [{ start: '2026-12-14', end: '2026-12-16' }]],
    ['a gap splits them', ['2026-12-14', '2026-12-16'], [{ start: '2026-12-14', end: '2026-12-14' }, { start: '2026-12-16', end: '2026-12-16' }]],
    ['across the end of a month and a year', ['2026-11-30', '2026-12-01', '2026-12-31', '2027-01-01'], [{ start: '2026-11-30', end: '2026-12-01' }, { start: '2026-12-31', end: '2027-01-01' }]],
    ['unreadable dates left out', ['2026-02-30', '2026-12-14'], [{ start: '2026-12-14', end: '2026-12-14' }]],
  ])('runs of days: %s', (_what, dates, want) => {
    expect(dateRanges(dates)).toEqual(want);
  });

  it('counts only days on which its bells ring, and says so in one line', () => {
    const days = [
      day('2026-12-14'),
      day('2026-12-15'),
      day('2026-12-16', { timetableId: 'X' }),
      day('2026-12-17', { bells: [] }),
      day('2026-12-18'),
      day('2026-12-19', { timetableId: 'NULL', bells: [] }),
    ];
    const found = ringingDates(days);
    expect([...found.keys()].sort()).toEqual(['A', 'X']);
    const span = dateSpan;
    expect(ringsLine(found.get('A'))).toBe(`Rings on 3 days in the next 4 weeks: ${span('2026-12-14', '2026-12-15')}, ${span('2026-12-18', '2026-12-18')}`);
    expect(ringsLine(found.get('X'))).toBe(`Rings on 1 day in the next 4 weeks: ${span('2026-12-16', '2026-12-16')}`);
    expect(ringsLine(found.get('gone'))).toBe('Does not ring in the next 4 weeks');
  });
});

describe('the days ahead', () => {
  const days = ['2026-12-10', '2026-12-11', '2026-12-12', '2026-12-13', '2026-12-14'].map((d, i) => day(d, i === 0 || i === 4 ? {} : { bells: [] }));

  it.each<[number, number, string | null]>([
    [1, 14, '2026-12-14'],
    [1, 2, null],
    [0, 14, '2026-12-14'],
    [4, 14, null],
  ])('after day %i, within %i days: %s', (after, within, want) => {
    expect(nextDayWithBells(days, after, within)?.date ?? null).toBe(want);
  });

  it('knows the first and the last bell, or that none rings', () => {
    const ends = firstAndLast(day('2026-12-10', { bells: [bell('07:55:00'), bell('08:00:00'), bell('14:50:00')] }));
    expect([ends?.first.at, ends?.last.at]).toEqual(['07:55:00', '14:50:00']);
    expect(firstAndLast(day('2026-12-10', { bells: [] }))).toBeNull();
  });

  it.each<[string, boolean]>([
    ['09:59:59', false],
    ['10:00:00', true],
    ['11:29:30', true],
    ['11:30:00', false],
  ])('a bell at %s is held by the quiet 10:00–11:30: %s', (at, held) => {
    expect(inQuiet(at, [{ from: '10:00', to: '11:30' }])).toBe(held);
  });
});

describe('weeks and names', () => {
  it.each<[string, number, string | null]>([
    ['2026-12-11', 0, '2026-12-07'],
    ['2026-12-07', 0, '2026-12-07'],
    ['2026-12-13', 0, '2026-12-07'],
    ['2026-12-31', 1, '2027-01-04'],
    ['2027-01-01', -1, '2026-12-21'],
    ['2026-13-01', 0, null],
  ])('the week of %s, %i weeks on, begins %s', (today, offset, want) => {
    expect(weekStart(today, offset)).toBe(want);
  });

  it('names a new event after its timetable and its days', () => {
    expect(eventNameFor('X', timetables, '2026-12-17')).toBe(`Exam on ${dateSpan('2026-12-17', '2026-12-17')}`);
    expect(eventNameFor('NULL', timetables, '2026-12-21', '2026-12-23')).toBe(`No bells: ${dateSpan('2026-12-21', '2026-12-23')}`);
  });

  afterAll(() => activate('en'));
  it('writes a span of days as the language does', async () => {
    await activate('de');
    expect(dateSpan('2026-12-14', '2026-12-18')).toBe('Mo., 14. – Fr., 18. Dez.');
    expect(dateSpan('2026-12-28', '2027-01-01')).toBe('Mo., 28. Dez. – Fr., 1. Jan.');
    await activate('hu');
    expect(eventNameFor('X', timetables, '2026-12-17')).toBe('dec. 17., Cs: Exam');
  });
});
