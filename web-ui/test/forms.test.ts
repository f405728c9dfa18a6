import { afterAll, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import {
  checkAnnouncementCode,
  checkNewPassword,
  checkRecurringEvent,
  checkSchedule,
  checkSingleEvent,
  checkUploadFile,
  explainUploadRefusal,
  extensionOf,
  MAX_UPLOAD_BYTES,
  timetableLabel,
} from '../src/lib/forms';

describe('upload files', () => {
  it('takes the lower-cased extension after the last dot', () => {
    expect(extensionOf('Gong.WAV')).toBe('wav');
    expect(extensionOf('my.song.mp3')).toBe('mp3');
    expect(extensionOf('noextension')).toBe('');
    expect(extensionOf('.hidden')).toBe('');
    expect(extensionOf('trailing.')).toBe('');
  });

  it('accepts wav and mp3 up to the size limit', () => {
    expect(checkUploadFile({ name: 'a.mp3', size: 10 })).toBeNull();
    expect(checkUploadFile({ name: 'a.WAV', size: MAX_UPLOAD_BYTES })).toBeNull();
  });

  it('refuses other formats, empty and too large files, and no file', () => {
    expect(checkUploadFile({ name: 'noise.ogg', size: 10 })).toMatch(/^Bad format: “\.ogg” files cannot be played/);
    // The server cannot measure an MP4's sound, so it would refuse it after the upload.
    expect(checkUploadFile({ name: 'film.mp4', size: 10 })).toMatch(/^Bad format: “\.mp4” files cannot be played/);
    expect(checkUploadFile({ name: 'noise', size: 10 })).toMatch(/^Bad format: Files without an extension/);
    expect(checkUploadFile({ name: 'a.wav', size: 0 })).toBe('The file is empty');
    expect(checkUploadFile({ name: 'a.wav', size: MAX_UPLOAD_BYTES + 1 })).toMatch(/^The file is too large: 100\.0 MiB/);
    expect(checkUploadFile(null)).toBe('Choose a file');
  });

  it('keeps the server text first when explaining a refusal', () => {
    expect(explainUploadRefusal('Bad format: ogg')).toBe('Bad format: ogg — only WAV and MP3 files are accepted.');
    expect(explainUploadRefusal('This file is not a playable MP3 or WAV')).toMatch(/^This file is not a playable MP3 or WAV: .*Nothing was stored\.$/);
    expect(explainUploadRefusal('File is already uploaded')).toMatch(/^File is already uploaded: /);
    expect(explainUploadRefusal('Something else')).toBe('Something else');
  });

  describe('in other languages', () => {
    afterAll(() => activate('en'));
    it.each<[Locale, string, () => string | null, string]>([
      ['hu', 'a signal uploaded twice', () => explainUploadRefusal('File is already uploaded'), 'Ez a fájl már fel van töltve: ugyanez a hang már szerepel a csengőhangok között.'],
      ['de', 'a format the server refused', () => explainUploadRefusal('Bad format: ogg'), 'Ungeeignetes Format: ogg – nur WAV- und MP3-Dateien sind möglich.'],
      ['de', 'a file too large', () => checkUploadFile({ name: 'a.wav', size: MAX_UPLOAD_BYTES + 1 }), 'Die Datei ist zu groß: 100,0\u00a0MiB. Sie können Dateien bis 100,0\u00a0MiB hochladen.'],
      ['hu', 'a format that cannot play', () => checkUploadFile({ name: 'noise.ogg', size: 10 }), 'Nem megfelelő formátum: a „.ogg” kiterjesztésű fájlok nem játszhatók le. Válasszon WAV- vagy MP3-fájlt.'],
    ])('%s: %s', async (locale, _case, say, want) => {
      await activate(locale);
      expect(say()).toBe(want);
    });
  });
});

describe('one-off events', () => {
  it('normalises the dates it accepts', () => {
    expect(checkSingleEvent({ timetableId: 'T', startDate: '2024-9-2', endDate: '2024-09-06', name: ' Sports day ' })).toEqual({
      ok: true,
      value: { timetableId: 'T', startDate: '2024-09-02', endDate: '2024-09-06', name: 'Sports day' },
    });
  });

  it('accepts a single day and the silent timetable', () => {
    expect(checkSingleEvent({ timetableId: 'NULL', startDate: '2024-09-02', endDate: '2024-09-02', name: '' }).ok).toBe(true);
  });

  it('names each problem by its field', () => {
    expect(checkSingleEvent({ timetableId: '', startDate: '2024-02-30', endDate: '', name: '' })).toEqual({
      ok: false,
      errors: { timetableId: 'Choose a timetable', startDate: '"2024-02-30" is not a day of the calendar', endDate: 'Enter a date' },
    });
    expect(checkSingleEvent({ timetableId: 'T', startDate: '2024-09-06', endDate: '2024-09-02', name: 'é'.repeat(101) })).toEqual({
      ok: false,
      errors: { endDate: 'The last day cannot be before the first', name: 'This name is too long. Please shorten it.' },
    });
  });
});

describe('recurring events', () => {
  it('needs a timetable, a known mode and at least one weekday', () => {
    expect(checkRecurringEvent({ timetableId: 'T', mode: 2, days: 5, name: 'Choir ' })).toEqual({ ok: true, value: { timetableId: 'T', mode: 2, days: 5, name: 'Choir' } });
    const bad = checkRecurringEvent({ timetableId: '', mode: 4, days: 0, name: 'x'.repeat(201) });
    expect(bad.ok).toBe(false);
    if (!bad.ok) expect(Object.keys(bad.errors).sort()).toEqual(['days', 'mode', 'name', 'timetableId']);
    expect(checkRecurringEvent({ timetableId: 'T', mode: 1, days: 128, name: '' }).ok).toBe(false);
  });
});

describe('scheduled plays', () => {
  const today = '2024-09-02';
  it('accepts a later time today and any later day', () => {
    expect(checkSchedule({ name: ' Fanfare ', date: '2024-09-02', time: '10:15' }, today, '10:14:59')).toEqual({
      ok: true,
      value: { name: 'Fanfare', date: '2024-09-02', time: '10:15' },
    });
    expect(checkSchedule({ name: 'x', date: '2024-09-03', time: '00:00' }, today, '23:00:00').ok).toBe(true);
  });

  it('refuses moments that have passed', () => {
    expect(checkSchedule({ name: 'x', date: '2024-09-01', time: '10:00' }, today, '09:00:00')).toEqual({
      ok: false,
      errors: { date: 'This day has already passed' },
    });
    expect(checkSchedule({ name: 'x', date: '2024-09-02', time: '10:15' }, today, '10:15:00')).toEqual({
      ok: false,
      errors: { time: 'This time has already passed today' },
    });
  });

  it('refuses missing names, dates and times', () => {
    const result = checkSchedule({ name: '  ', date: '', time: '25:00' }, today, '10:00:00');
    expect(result.ok).toBe(false);
    if (!result.ok) expect(Object.keys(result.errors).sort()).toEqual(['date', 'name', 'time']);
  });

  it('does not judge the past when the server time is unknown', () => {
    expect(checkSchedule({ name: 'x', date: '2024-09-02', time: '00:01' }, today, '').ok).toBe(true);
  });
});

describe('passwords', () => {
  it('needs four characters, no spaces at the ends, and the same text twice', () => {
    expect(checkNewPassword('bell', 'bell')).toEqual({ ok: true, value: 'bell' });
    expect(checkNewPassword('abc', 'abc')).toEqual({ ok: false, errors: { password: 'Use at least 4 characters' } });
    expect(checkNewPassword(' abcd', ' abcd').ok).toBe(false);
    expect(checkNewPassword('abcd', 'abce')).toEqual({ ok: false, errors: { repeat: 'The two passwords differ' } });
  });
});

describe('small checks', () => {
  it('checks announcement codes', () => {
    expect(checkAnnouncementCode('fire-drill')).toBeNull();
    expect(checkAnnouncementCode(' ')).toMatch(/Enter/);
    expect(checkAnnouncementCode('a/b')).toMatch(/letters, digits/);
  });

  it('labels timetable ids', () => {
    const list = [{ id: 'A', name: 'Normal' }];
    expect(timetableLabel('A', list)).toBe('Normal');
    expect(timetableLabel('NULL', list)).toBe('No bells');
    expect(timetableLabel('gone', list)).toBe('Deleted timetable');
  });
});
