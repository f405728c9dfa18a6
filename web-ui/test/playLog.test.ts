import { afterEach, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import { signalName, timetableName } from '../src/i18n/factoryNames';
import type { TodayBell } from '../src/api/types';
import { checkPlannedQuiet, checkQuietPeriod, clockWarning, countdown, describeQuiet, lateness, markText, quietNow, signalByName, silentBells, sourceLabel } from '../src/lib/playLog';

afterEach(() => activate('en'));

describe('quiet period form', () => {
  it.each([
    ['en', '8:0', '9:30', { ok: true, from: '08:00', to: '09:30' }],
    ['en', '09:00', '09:00', { ok: false, error: 'The quiet period must end after it begins' }],
    ['en', '10:00', '09:00', { ok: false, error: 'The quiet period must end after it begins' }],
    ['en', '09:00:30', '10:00', { ok: false, error: 'Give whole minutes, like 08:00' }],
    ['en', '', '10:00', { ok: false, error: 'Enter a time' }],
    ['en', '09:00', '25:00', { ok: false, error: 'The hour of "25:00" must be 0 to 23' }],
    ['hu', '10:00', '09:00', { ok: false, error: 'A csendes időszak vége legyen későbbi, mint a kezdete' }],
    ['de', '09:00:30', '10:00', { ok: false, error: 'Bitte geben Sie ganze Minuten an, etwa 08:00' }],
  ] as const)('%s: %s to %s', async (locale, from, to, expected) => {
    await activate(locale);
    expect(checkQuietPeriod(from, to)).toEqual(expected);
  });
});

describe('what became of a bell', () => {
  it.each([
    ['en', 'played', '2026-12-08T09:45:00.002', 2, '', 'Rang at 09:45:00', null, 'ok'],
    ['en', 'played', '2026-12-08T09:45:01.250', 1250, '', 'Rang at 09:45:01', '1.3 s late', 'ok'],
    ['en', 'stopped', '2026-12-08T20:34:00.009', null, '', 'Rang at 20:34:00, stopped', null, 'ok'],
    ['en', 'failed', null, null, 'the player could not start', 'Failed', 'the player could not start', 'bad'],
    ['en', 'skipped', null, null, 'quiet period', 'Skipped', 'quiet period', 'skip'],
    ['en', 'missed', null, null, '', 'Did not ring', 'Tollwick Player was not running, or the bells were off', 'bad'],
    ['en', 'coming', null, null, '', 'Still to ring', null, 'coming'],
    ['hu', 'played', '2026-12-08T09:45:01.250', 1250, '', 'Megszólalt: 09:45:01', '1,3\u00a0mp késéssel', 'ok'],
    ['hu', 'quiet', null, null, '', 'Kimarad', 'csendes időszak', 'skip'],
    ['hu', 'skipped', null, null, 'quiet period', 'Kihagyva', 'csendes időszak', 'skip'],
    ['de', 'failed', null, null, 'Key not found: ID_gone', 'Fehlgeschlagen', 'Der Signalton wurde gelöscht', 'bad'],
    ['de', 'played', '2026-12-08T09:45:01.250', 150000, '', 'Geklingelt um 09:45:01', '3\u00a0Min. zu spät', 'ok'],
    ['de', 'coming', null, null, '', 'Steht noch aus', null, 'coming'],
    ['en', 'skipped', null, null, 'bells off', 'Skipped', 'the bells were switched off', 'skip'],
    ['en', 'missed', null, null, 'not running', 'Did not ring', 'Tollwick Player was not running then (it started at 10:52)', 'bad', '10:52:00'],
    ['de', 'missed', null, null, 'not running', 'Nicht geklingelt', 'Tollwick Player lief zu dieser Zeit nicht (gestartet um 10:52)', 'bad', '10:52:00'],
  ] as const)('%s: %s %s', async (locale, mark, started, lateMs, detail, text, said, tone, systemStarted?: string) => {
    await activate(locale);
    expect(markText(mark, started, lateMs, detail, systemStarted)).toEqual({ text, detail: said, tone });
  });

  it('counts the due bells of today that did not ring, whatever the reason', () => {
    const bell = (mark: TodayBell['mark'], detail = ''): TodayBell => ({ at: '08:00:00', source: 'lessonStart', lesson: 1, songName: 'ping', mark, started: null, lateMs: null, detail });
    const day = [bell('played'), bell('missed'), bell('failed', 'File does not exist: x'), bell('skipped', 'bells off'), bell('skipped', 'quiet period'), bell('quiet'), bell('coming')];
    expect(silentBells(day)).toBe(3);
  });

  it.each([
    [null, null],
    [99, null],
    [100, '0.1 s late'],
    [59999, '60.0 s late'],
    [150000, '3 min late'],
  ])('lateness of %s ms', (ms, said) => {
    expect(lateness(ms)).toBe(said);
  });

  it.each([
    ['en', 'lessonStart', 2, 'Start of lesson 2'],
    ['en', 'preEnd', null, 'Before the end of lesson'],
    ['en', 'extraPlay', null, 'Extra bell'],
    ['hu', 'lessonEnd', 3, '3. óra vége'],
    ['hu', 'manual', null, 'Kézi lejátszás'],
    ['de', 'preStart', 1, 'Vor Beginn der 1. Stunde'],
    ['de', 'lessonStart', null, 'Stundenbeginn'],
  ] as const)('%s: %s of lesson %s', async (locale, source, lesson, said) => {
    await activate(locale);
    expect(sourceLabel(source, lesson)).toBe(said);
  });
});

describe('countdown', () => {
  it.each([
    ['en', -3, 'in 0 seconds'],
    ['en', 45.9, 'in 45 seconds'],
    ['en', 60, 'in 1 minute'],
    ['en', 725, 'in 12 minutes'],
    ['hu', 300, '5 perc múlva'],
    ['de', 45, 'in 45 Sekunden'],
  ] as const)('%s: %s seconds', async (locale, seconds, said) => {
    await activate(locale);
    expect(countdown(seconds)).toBe(said);
  });
});

describe('clock and quiet notices', () => {
  it.each([
    [undefined, null],
    [{ synchronised: null, maxErrorMs: null, timezone: null, utcOffsetMin: 0 }, null],
    [{ synchronised: true, maxErrorMs: 12, timezone: 'Europe/Berlin', utcOffsetMin: 60 }, null],
    [{ synchronised: false, maxErrorMs: 16000, timezone: 'Europe/Berlin', utcOffsetMin: 60 }, "This PC's clock is not synchronised: the bells may drift."],
  ])('%j', (health, said) => {
    expect(clockWarning(health)).toBe(said);
  });

  const quiet = { periods: [{ from: '08:00', to: '09:30' }], skippedBells: ['10:25:00', '11:10:30'], planned: [] };
  it.each([
    ['en', ['The bells are kept quiet from 08:00 to 09:30.', 'The bell at 10:25 is skipped.', 'The bell at 11:10:30 is skipped.']],
    ['hu', ['08:00 és 09:30 között nem szól a csengetés.', '10:25-kor kimarad a csengetés.', '11:10:30-kor kimarad a csengetés.']],
    ['de', ['Von 08:00 bis 09:30 bleibt das Klingeln aus.', 'Das Klingeln um 10:25 wird übersprungen.', 'Das Klingeln um 11:10:30 wird übersprungen.']],
  ] as const)('%s names each period and each skipped bell', async (locale, said) => {
    await activate(locale);
    expect(describeQuiet(quiet)).toEqual(said);
  });
});

describe('quiet periods', () => {
  const exam = { id: 'q1', date: '2026-12-10', from: '10:00', to: '11:30', name: 'Maths exam', holdProgrammes: true };
  const quiet = { periods: [{ from: '08:00', to: '09:00' }, { from: '08:30', to: '10:15' }], skippedBells: [], planned: [exam] };
  it.each([
    ['07:59:59', null],
    ['08:00:00', { until: '09:00', name: '' }],
    ['08:45:00', { until: '10:15', name: '' }], // the latest end of the periods that cover it
    ['10:05:00', { until: '11:30', name: 'Maths exam' }],
    ['11:30:00', null], // a bell at the end rings
  ])('at %s the bells are quiet: %j', (time, said) => {
    expect(quietNow(quiet, time)).toEqual(said);
  });

  const today = { y: 2026, m: 12, d: 10 };
  const plan = { date: '2026-12-11', from: '8.00', to: '9:30', name: '  Maths exam, 10B ', holdProgrammes: false };
  it.each([
    ['a day to come, times tidied, name trimmed', plan, { ok: true, value: { ...plan, from: '08:00', to: '09:30', name: 'Maths exam, 10B' } }],
    ['today', { ...plan, date: '2026-12-10' }, { ok: true, value: { ...plan, date: '2026-12-10', from: '08:00', to: '09:30', name: 'Maths exam, 10B' } }],
    ['no day', { ...plan, date: '' }, { ok: false, errors: { date: 'Choose the day' } }],
    ['yesterday', { ...plan, date: '2026-12-09' }, { ok: false, errors: { date: 'That day has passed' } }],
    ['an end before the start', { ...plan, to: '07:00' }, { ok: false, errors: { times: 'The quiet period must end after it begins' } }],
    ['a name too long', { ...plan, name: 'é'.repeat(101) }, { ok: false, errors: { name: 'The name is too long' } }],
  ])('planning %s', (_, input, want) => {
    expect(checkPlannedQuiet(input, today)).toEqual(want);
  });
});

describe('the names of the built-in signals and timetable', () => {
  it.each<[Locale, string, string, string, string]>([
    ['en', 'ID_ping', 'ping', 'ID_factory_default_timetable', 'Default'],
    ['hu', 'ID_melody', 'Dallam', 'ID_factory_default_timetable', 'Alap csengetési rend'],
    ['de', 'ID_bigben', 'Big Ben', 'ID_factory_default_timetable', 'Standard-Stundenplan'],
  ])('%s shows %s as %s and %s as %s', async (locale, signal, signalSaid, timetable, timetableSaid) => {
    await activate(locale);
    const stored = { ID_ping: 'ping', ID_melody: 'melody', ID_bigben: 'BigBen' }[signal] ?? '';
    expect(signalName(signal, stored)).toBe(signalSaid);
    expect(timetableName(timetable, 'Default')).toBe(timetableSaid);
  });

  it.each<[Locale, string, { id: string; name: string }[] | undefined, string]>([
    ['hu', 'melody', [{ id: 'ID_melody', name: 'melody' }, { id: 'u1', name: 'Gong' }], 'Dallam'],
    ['hu', 'melody', [{ id: 'ID_melody', name: 'melody' }, { id: 'u1', name: 'melody' }], 'melody'],
    ['de', 'melody', undefined, 'melody'],
    ['de', 'School song', [{ id: 'ID_melody', name: 'School song' }], 'School song'],
  ])('%s shows the bell signal stored as %j among %j as %j', async (locale, stored, signals, said) => {
    await activate(locale);
    expect(signalByName(stored, signals)).toBe(said);
  });

  it.each([
    ['a renamed built-in signal', () => signalName('ID_melody', 'School song'), 'School song'],
    ['an uploaded signal', () => signalName('a1b2', 'melody'), 'melody'],
    ['a renamed first timetable', () => timetableName('ID_factory_default_timetable', 'Exam week'), 'Exam week'],
    ['a timetable with a signal’s id', () => timetableName('ID_ping', 'ping'), 'ping'],
  ])('%s keeps its own name', async (_, name, said) => {
    await activate('de');
    expect(name()).toBe(said);
  });
});
