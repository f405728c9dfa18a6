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
    ['hu', 'File does not exist: /srv/bells/a.mp3', 'A hangfájl hiányzik: /srv/bells/a.mp3'],
    ['de', 'Failed to play the file: /srv/bells/a.ogg - Unsupported file format: .ogg', 'Die Tondatei konnte nicht abgespielt werden: /srv/bells/a.ogg - Unsupported file format: .ogg'],
    ['en', 'No playing thread could be started: Resource temporarily unavailable', 'Playing could not begin (Resource temporarily unavailable)'],
    ['de', 'quiet period', 'Ruhezeit'],
    ['hu', 'Today already has 8 quiet periods, the most a day can hold. Clear them to set new ones.', 'Mára már 8 csendes időszak van beállítva, ennél több nem lehet. Újak beállításához törölje a meglévőket.'],
    // A restore's reason is explained inside the restore's own text.
    ['de', 'The backup could not be restored, and everything stays as it was: The archive lacks the sound file "u1.mp3" of "Gong"', 'Die Sicherung konnte nicht wiederhergestellt werden, alles bleibt, wie es war: In der Sicherung fehlt die Tondatei des Signaltons „Gong“ (u1.mp3)'],
    ['en', 'The backup could not be restored, and everything stays as it was: This backup holds more than 5000 files; it was not made by Tollwick Player', 'The backup could not be restored, and everything stays as it was: This backup holds more than 5000 files: it was not made by Tollwick Player'],
    ['hu', 'The backup could not be restored, and everything stays as it was: something new', 'A biztonsági mentést nem sikerült visszaállítani, minden a régiben maradt: something new'],
    [
      'hu',
      'The database /data/_db.json could not be read (Permission denied); it was kept as /data/_db.json.bad and the factory configuration is in use.',
      'A mentett csengetési rendeket, csengőhangokat és beállításokat nem sikerült beolvasni (Permission denied). A csengetés most egy új telepítés beállításai szerint működik. A régi fájl ezen a néven maradt meg: /data/_db.json.bad. Állítson vissza egy biztonsági mentést a beállításokban, vagy kérjen segítséget a rendszergazdától.',
    ],
    [
      'en',
      'The database /my data/_db.json has a version this program does not know; it was kept as /my data/_db (2).json and the factory configuration is in use.',
      'The saved timetables, signals and settings come from a version of the program that this one cannot read. The bells now follow the settings of a new installation. The old file was kept as /my data/_db (2).json. Restore a backup in the settings, or ask your technician for help.',
    ],
    ['de', 'Key not found: ID_gone', 'Nicht gefunden (ID_gone). Vielleicht wurde es inzwischen gelöscht; bitte laden Sie die Seite neu.'],
    ['de', 'Invalid value for "schoolName": longer than 120 characters', 'Der Name ist zu lang: höchstens 120 Zeichen'],
    ['hu', 'Invalid value for "alertTargets.3.url": not an http:// or https:// address', 'Az egyik cím nem webcím (http:// vagy https://).'],
    ['en', 'Invalid value for "alertTargets.0.events": "pager" is not an event', 'This version does not know the event “pager”.'],
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
