// The alert addresses as the form checks them, the test alert's answer in words, the change log's
// actions and the last switch of the bells.
import { afterEach, describe, expect, it } from 'vitest';
import { ApiError } from '../src/api/client';
import type { BellsSwitched } from '../src/api/types';
import { activate, type Locale } from '../src/i18n';
import { actionLabel, bellsSwitchedText, checkAlertUrl, checkSchoolName, testAlertResult } from '../src/lib/alerts';

afterEach(() => activate('en'));

describe('an alert address', () => {
  it.each([
    ['https://chat.example.org/hooks/abc', null],
    ['  http://10.0.0.5:8080/topic  ', null],
    ['https://ntfy.sh/schule-ä', null],
    ['', 'Enter the address'],
    ['ntfy.sh/bells', 'Enter a web address that starts with http:// or https://, without spaces'],
    ['HTTPS://chat.example.org', 'Enter a web address that starts with http:// or https://, without spaces'],
    ['https://', 'Enter a web address that starts with http:// or https://, without spaces'],
    ['https://chat.example.org/a b', 'Enter a web address that starts with http:// or https://, without spaces'],
    ['ftp://files.example.org', 'Enter a web address that starts with http:// or https://, without spaces'],
    [`https://x.org/${'ő'.repeat(994)}`, 'The address is too long'],
  ])('%j: %j', (url, expected) => {
    expect(checkAlertUrl(url)).toBe(expected);
  });

  it.each([
    ['Bartók Béla Általános Iskola', null],
    ['é'.repeat(120), null],
    ['é'.repeat(121), 'The name is too long: at most 120 characters'],
    ['Line one\nline two', 'The name must fit on one line'],
  ])('school name %j: %j', (name, expected) => {
    expect(checkSchoolName(name)).toBe(expected);
  });
});

describe('the answer to a test alert', () => {
  // The refusals are made once the language is active, as the page makes them.
  it.each<[Locale, (() => ApiError) | undefined, { ok: boolean; text: string; detail: string | null }]>([
    ['en', undefined, { ok: true, text: 'The address answered.', detail: null }],
    ['en', () => new ApiError(400, 'The alert target did not answer: Connection refused'), { ok: false, text: 'No answer from this address.', detail: 'Connection refused' }],
    ['de', () => new ApiError(400, 'The alert target answered 404'), { ok: false, text: 'Die Adresse hat mit einem Fehler geantwortet (404).', detail: 'The alert target answered 404' }],
    ['hu', () => new ApiError(400, 'Invalid value for "alertTargets.0.url": not an http:// or https:// address'), { ok: false, text: 'Az egyik cím nem webcím (http:// vagy https://).', detail: null }],
  ])('%s: %o', async (locale, error, expected) => {
    await activate(locale);
    expect(testAlertResult(error?.())).toEqual(expected);
  });
});

describe('the change log and the bells switch', () => {
  it.each<[Locale, string, string]>([
    ['en', 'bells.off', 'Bells switched off'],
    ['hu', 'monitoring.token.new', 'Új felügyeleti token készült'],
    ['de', 'auth.login.locked', 'Anmeldung nach zu vielen Versuchen gesperrt'],
    ['de', 'calendar.export', 'calendar.export'],
    ['en', 'toString', 'toString'],
  ])('%s: %s is %j', async (locale, action, expected) => {
    await activate(locale);
    expect(actionLabel(action)).toBe(expected);
  });

  const off: BellsSwitched = { on: false, time: '2026-12-11T09:14:03', client: '192.168.1.20', session: 'a1b2c3d4' };
  it.each<[Locale, BellsSwitched | null, string, string | null]>([
    ['en', off, '2026-12-11', 'Switched off today at 09:14 from 192.168.1.20'],
    ['en', off, '2026-12-14', 'Switched off on 11/12/2026 at 09:14 from 192.168.1.20'],
    ['hu', off, '2026-12-11', 'Ma 09:14-kor kapcsolták ki erről a címről: 192.168.1.20'],
    ['de', off, '2026-12-12', 'Am 11.12.2026 um 09:14\u00a0Uhr von 192.168.1.20 ausgeschaltet'],
    ['en', { ...off, on: true }, '2026-12-11', null],
    ['en', null, '2026-12-11', null],
  ])('%s: %o on %s', async (locale, switched, today, expected) => {
    await activate(locale);
    expect(bellsSwitchedText(switched, today)).toBe(expected);
  });
});
