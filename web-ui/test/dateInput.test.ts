// Dates as people type them in each language, and the date field's reading of them.
import { afterAll, describe, expect, it } from 'vitest';
import { readDateField } from '../src/components/DateInput';
import { activate, type Locale } from '../src/i18n';
import { parseLocalDate } from '../src/i18n/format';
import type { CalendarDate } from '../src/lib/time';

const today: CalendarDate = { y: 2026, m: 3, d: 15 };
const december8 = { y: 2026, m: 12, d: 8 };

describe('typed dates', () => {
  afterAll(() => activate('en'));

  it.each<[Locale, string, CalendarDate | string]>([
    ['en', '08/12/2026', december8],
    ['en', ' 8-12-2026 ', december8],
    ['en', '8 12 2026', december8],
    ['en', '8/12', december8],
    ['en', '2026-12-08', december8],
    ['en', '2026/12/8', december8],
    ['en', '31/02/2026', '"31/02/2026" is not a day of the calendar'],
    ['en', '12/31/2026', '"12/31/2026" has no month 31'],
    ['en', 'tomorrow', '"tomorrow" is not a date like 15/03/2026'],
    ['en', '8/12/26', '"8/12/26" is not a date like 15/03/2026'],
    ['en', '', 'Enter a date'],
    ['hu', '2026. 12. 08.', december8],
    ['hu', '2026.12.8', december8],
    ['hu', '12. 8.', december8],
    ['hu', '2026-12-08', december8],
    ['hu', '2025. 02. 29.', '„2025. 02. 29.” nem létező nap'],
    ['hu', '8.12.2026', '„8.12.2026” nem érvényes dátum (példa: 2026. 03. 15.)'],
    ['de', '08.12.2026', december8],
    ['de', '8.12.', december8],
    ['de', '8/12/2026', december8],
    ['de', '2026-12-08', december8],
    ['de', '30.2.2026', '„30.2.2026“ ist kein Tag im Kalender'],
    ['de', '1.2.3.2026', '„1.2.3.2026“ ist kein gültiges Datum (Beispiel: 15.03.2026)'],
  ])('%s reads %j as %j', async (locale, text, want) => {
    await activate(locale);
    expect(parseLocalDate(text, today)).toEqual(typeof want === 'string' ? { ok: false, error: want } : { ok: true, value: want });
  });

  const limits = { min: '2026-03-10', max: '2026-03-20' };
  it.each<[Locale, string, string, string | null]>([
    ['en', '12/03/2026', '2026-03-12', null],
    ['en', '9/3', '2026-03-09', 'The date cannot be before 10/03/2026'],
    ['en', '  ', '', null],
    ['en', 'soon', 'soon', '"soon" is not a date like 15/03/2026'],
    ['hu', '2026. 03. 21.', '2026-03-21', 'A dátum nem lehet későbbi, mint 2026. 03. 20.'],
    ['de', '21.3.', '2026-03-21', 'Das Datum darf nicht nach dem 20.03.2026 liegen'],
  ])('%s: the field takes %j as %j', async (locale, text, value, problem) => {
    await activate(locale);
    const read = readDateField(text, limits, today);
    expect([read.value, read.problem]).toEqual([value, problem]);
  });
});
