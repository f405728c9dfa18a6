import { afterAll, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import { calendarRules, describeOverrides, kindOfDay, newYearNote, recurringOverrides, singleOverrides } from '../src/lib/calendarRules';

const region = {
  holidays: ['2026-12-25', '2027-01-01'],
  extraWorkdays: ['2026-12-12', '2027-01-01'],
  schoolBreaks: ['2026-12-21', '2026-12-22', '2026-12-23', '2026-12-24', '2026-12-25', '2026-12-28'],
  provideHolidays: true,
};
const week = { workdayMode: 15, syncSchoolHolidays: true };
const date = (text: string) => ({ y: Number(text.slice(0, 4)), m: Number(text.slice(5, 7)), d: Number(text.slice(8, 10)) });

describe('kind of day', () => {
  it('follows the server: holidays, then extra school days, then breaks, then the week', () => {
    const rules = calendarRules(region, week);
    const cases: [string, string][] = [
      ['2027-01-01', 'HOLIDAY'], // also an extra school day
      ['2026-12-25', 'HOLIDAY'], // also a break
      ['2026-12-12', 'REPLACED_WORKDAY'], // a Saturday
      ['2026-12-21', 'SCHOOL_BREAK'],
      ['2026-12-18', 'WORKDAY'],
      ['2026-12-19', 'NON_WORKDAY'],
    ];
    for (const [day, kind] of cases) expect(kindOfDay(date(day), rules), day).toBe(kind);
    // Breaks count only when the region provides them and the settings want them.
    expect(kindOfDay(date('2026-12-21'), calendarRules(region, { ...week, syncSchoolHolidays: false }))).toBe('WORKDAY');
    expect(kindOfDay(date('2026-12-21'), calendarRules({ ...region, provideHolidays: false }, week))).toBe('WORKDAY');
    expect(kindOfDay(date('2026-12-21'), calendarRules(undefined, week))).toBe('WORKDAY');
  });
});

describe('days without school that a new event makes ring', () => {
  const rules = calendarRules(region, week);

  it('names them for a recurring event, unless a one-off event decides the day', () => {
    // Fridays of every week from Friday 18 December: the 25th is a holiday, 1 January too.
    const days = recurringOverrides(1, 0b10000, '2026-12-18', rules, [], 3);
    expect(days).toEqual([
      { date: '2026-12-25', kind: 'HOLIDAY' },
      { date: '2027-01-01', kind: 'HOLIDAY' },
    ]);
    expect(describeOverrides(days, 4, '2026-12-18')).toBe('This will ring on 25 Dec (public holiday), 1 Jan 2027 (public holiday)');
    const single = [{ timeTableId: 'NULL', start: '2026-12-24', end: '2026-12-26' }];
    expect(recurringOverrides(1, 0b10000, '2026-12-18', rules, single, 1)).toEqual([{ date: '2027-01-01', kind: 'HOLIDAY' }]);
    // Mondays to Wednesdays of the break week.
    expect(recurringOverrides(1, 0b0000111, '2026-12-20', rules, [], 3).map((d) => `${d.date} ${d.kind}`)).toEqual([
      '2026-12-21 SCHOOL_BREAK',
      '2026-12-22 SCHOOL_BREAK',
      '2026-12-23 SCHOOL_BREAK',
    ]);
  });

  it('names the weekend and the break of a one-off event, and says "…" when there are more', () => {
    const days = singleOverrides('2026-12-18', '2026-12-24', rules, 5);
    expect(days.map((d) => d.date)).toEqual(['2026-12-19', '2026-12-20', '2026-12-21', '2026-12-22', '2026-12-23']);
    expect(describeOverrides(days, 2, '2026-12-18')).toBe('This will ring on 19 Dec (day off), 20 Dec (day off) …');
    expect(singleOverrides('2026-12-14', '2026-12-18', rules, 5)).toEqual([]);
    expect(describeOverrides([], 4, '2026-12-18')).toBe('');
  });
});

describe('odd and even weeks at New Year', () => {
  it('warns when the coming New Year follows a week 53', () => {
    // 2026 has a week 53; 2027 has not.
    expect(newYearNote(3, '2026-11-02')).toBe('Weeks 53 of 2026 and 1 of 2027 are both odd: at New Year this rings two weeks in a row.');
    expect(newYearNote(2, '2026-11-02')).toMatch(/pauses for two weeks/);
    expect(newYearNote(1, '2026-11-02')).toBe('');
    expect(newYearNote(3, '2027-11-02')).toBe('');
  });
});

describe('the warnings in each language', () => {
  afterAll(() => activate('en'));
  const rules = calendarRules(region, week);
  const days = [...singleOverrides('2026-12-21', '2026-12-21', rules, 1), ...recurringOverrides(1, 0b10000, '2026-12-26', rules, [], 1)];

  it.each<[Locale, string, string]>([
    ['en', 'This will ring on 21 Dec (school holiday), 1 Jan 2027 (public holiday)', 'Weeks 53 of 2026 and 1 of 2027 are both odd: at New Year this pauses for two weeks.'],
    [
      'hu',
      'Így ezeken a napokon is szól: dec. 21. (tanítási szünet), 2027. jan. 1. (munkaszüneti nap)',
      'A 2026. év 53. hete és a 2027. év 1. hete is páratlan: az újév körül ez két hétig nem szól.',
    ],
    [
      'de',
      'Dadurch klingelt es auch an diesen Tagen: 21. Dez. (Ferien), 1. Jan. 2027 (Feiertag)',
      'Die Kalenderwochen 53 (2026) und 1 (2027) sind beide ungerade: Zum Jahreswechsel klingelt es zwei Wochen lang nicht.',
    ],
  ])('%s names the days with the year only when it is another', async (locale, overrides, newYear) => {
    await activate(locale);
    expect(describeOverrides(days, 4, '2026-12-18')).toBe(overrides);
    expect(newYearNote(2, '2026-11-02')).toBe(newYear);
  });
});
