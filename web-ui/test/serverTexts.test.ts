// The server's texts in the interface's language: known ones translated, any other as sent.
import { afterAll, describe, expect, it } from 'vitest';
import { ApiError } from '../src/api/client';
import { activate, type Locale } from '../src/i18n';
import { explainServerText } from '../src/i18n/serverTexts';

describe('texts from the server', () => {
  afterAll(() => activate('en'));

  it.each<[Locale, string, string]>([
    ['en', 'Failed to download announcement', 'Failed to download announcement'],
    ['hu', 'Failed to download announcement', 'A bemondást nem sikerült letölteni'],
    ['de', 'Failed to download announcement', 'Die Durchsage konnte nicht heruntergeladen werden'],
    ['en', 'Bad format: ogg', 'Bad format: ogg'],
    ['hu', 'Bad format: ogg', 'Nem megfelelő formátum: ogg'],
    ['de', 'Too many failed logins from this address; try again in 120 seconds', 'Zu viele fehlgeschlagene Anmeldungen von diesem Computer. Bitte versuchen Sie es in 120 Sekunden erneut.'],
    ['en', "Invalid id 'a/b': only letters, digits, \"-\" and \"_\" are allowed", "Invalid id 'a/b': only letters, digits, \"-\" and \"_\" are allowed"],
    ['hu', 'Something the interface never heard of', 'Something the interface never heard of'],
    ['de', 'Bad format', 'Bad format'],
  ])('%s shows %j as %j', async (locale, sent, shown) => {
    await activate(locale);
    expect(explainServerText(sent)).toBe(shown);
  });

  it.each<[Locale, number, string, string]>([
    ['de', 400, 'No more bells ring today', 'Heute klingelt es nicht mehr'],
    ['hu', 500, 'Internal Server Error', 'A szerver hibát jelzett (500): belső hiba történt'],
    ['en', 400, '', 'The server refused the request'],
  ])('%s: a refusal %i %j says %j', async (locale, status, sent, shown) => {
    await activate(locale);
    expect(new ApiError(status, sent).message).toBe(shown);
  });
});
