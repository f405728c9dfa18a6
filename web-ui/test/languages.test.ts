// What the interface says in each language: how the language is chosen, and its dates, weekdays,
// spans of time and plurals.
import { afterAll, describe, expect, it } from 'vitest';
import { activate, t, type Locale } from '../src/i18n';
import { chooseLocale } from '../src/i18n/choice';
import { clockTime, inTime, numericDate } from '../src/i18n/format';
import { describeDate, parseTime, weekdaysShort } from '../src/lib/time';
import { describeDays, workdayModeLabel } from '../src/lib/weekdays';

describe('the choice of language', () => {
  it.each([
    [{ browserChoice: 'de', installation: 'hu', preferred: ['en-US'] }, 'de', "the browser's own choice first"],
    [{ browserChoice: null, installation: 'hu', preferred: ['de-AT'] }, 'hu', "then the school's"],
    [{ browserChoice: 'fr', installation: 'xx', preferred: ['fr-FR', 'de-AT', 'hu'] }, 'de', 'then the first known of the browser'],
    [{ preferred: ['HU-hu'] }, 'hu', 'whatever the case of the tag'],
    [{ preferred: ['fr', 'pl'] }, 'en', 'else English'],
    [{ browserChoice: 'pseudo', installation: 'hu' }, 'pseudo', 'the pseudo-locale when asked for'],
  ])('%j gives %s: %s', (choices, want, _reason) => {
    expect(chooseLocale(choices)).toBe(want);
  });
});

describe('each language', () => {
  afterAll(() => activate('en'));

  const cases: {
    locale: Locale;
    date: string;
    numeric: string;
    weekdays: string;
    week: string;
    soon: string;
    error: string;
  }[] = [
    {
      locale: 'en',
      date: 'Tuesday, 8 December 2026',
      numeric: '08/12/2026',
      weekdays: 'Mon Tue Wed Thu Fri Sat Sun',
      week: 'Monday to Friday',
      soon: 'in 3 minutes',
      error: 'The hour of "25:00" must be 0 to 23',
    },
    {
      locale: 'hu',
      date: '2026. december 8., kedd',
      numeric: '2026. 12. 08.',
      weekdays: 'H K Sze Cs P Szo V',
      week: 'Hétfőtől péntekig',
      soon: '3 perc múlva',
      error: '„25:00”: az óra 0 és 23 között lehet',
    },
    {
      locale: 'de',
      date: 'Dienstag, 8. Dezember 2026',
      numeric: '08.12.2026',
      weekdays: 'Mo Di Mi Do Fr Sa So',
      week: 'Montag bis Freitag',
      soon: 'in 3 Minuten',
      error: '„25:00“: Die Stunde muss zwischen 0 und 23 liegen',
    },
  ];

  it.each(cases)('$locale writes its own dates, weekdays and texts', async (c) => {
    await activate(c.locale);
    expect(describeDate('2026-12-08')).toBe(c.date);
    expect(numericDate({ y: 2026, m: 12, d: 8 })).toBe(c.numeric);
    expect(weekdaysShort().join(' ')).toBe(c.weekdays);
    expect(workdayModeLabel(15)).toBe(c.week);
    expect(inTime(180)).toBe(c.soon);
    expect(parseTime('25:00')).toEqual({ ok: false, error: c.error });
    expect(clockTime(8, 5)).toBe('08:05');
    expect(clockTime(20, 34, 0, true)).toBe('20:34:00');
  });

  it.each([
    [1, 'in 1 minute'],
    [2, 'in 2 minutes'],
  ])('counts with the plural rules: %i minute(s)', async (minutes, want) => {
    await activate('en');
    expect(inTime(minutes * 60)).toBe(want);
  });

  it('the pseudo-locale lengthens and marks every text and leaves placeholders alone', async () => {
    await activate('pseudo');
    expect(describeDays([])).toBe('[ñö dåý ~~]');
    expect(t('schoolWeek.unknown', { code: 99 })).toBe('[Évérý dåý (çödé 99) ~~~~~]');
    // A long text's padding wraps like words do.
    expect(t('dashboard.noPassword')).toMatch(/ ~{6} ~{6} .*~\]$/);
    expect(t('dashboard.noPassword')).not.toMatch(/~{7}/);
  });
});
