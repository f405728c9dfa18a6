import { describe, expect, it } from 'vitest';
import { checkQuietPeriod, clockWarning, countdown, describeQuiet, lateness, markText } from '../src/lib/playLog';

describe('quiet period form', () => {
  it.each([
    ['8:0', '9:30', { ok: true, from: '08:00', to: '09:30' }],
    ['09:00', '09:00', { ok: false, error: 'The quiet period must end after it begins' }],
    ['10:00', '09:00', { ok: false, error: 'The quiet period must end after it begins' }],
    ['09:00:30', '10:00', { ok: false, error: 'Give whole minutes, like 08:00' }],
    ['', '10:00', { ok: false, error: 'Enter a time' }],
    ['09:00', '25:00', { ok: false, error: 'The hour of "25:00" must be 0 to 23' }],
  ])('%s to %s', (from, to, expected) => {
    expect(checkQuietPeriod(from, to)).toEqual(expected);
  });
});

describe('what became of a bell', () => {
  it.each([
    ['played', '2026-12-08T09:45:00.002', 2, '', 'Rang at 09:45:00.002', null, 'ok'],
    ['played', '2026-12-08T09:45:01.250', 1250, '', 'Rang at 09:45:01.250', '1.3 s late', 'ok'],
    ['failed', null, null, 'the player could not start', 'Failed', 'the player could not start', 'bad'],
    ['skipped', null, null, 'quiet period', 'Skipped', 'quiet period', 'skip'],
    ['coming', null, null, '', 'Coming', null, 'coming'],
  ] as const)('%s %s', (mark, started, lateMs, detail, text, said, tone) => {
    expect(markText(mark, started, lateMs, detail)).toEqual({ text, detail: said, tone });
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
});

describe('countdown', () => {
  it.each([
    [-3, '0 s'],
    [45.9, '45 s'],
    [60, '1:00'],
    [725, '12:05'],
    [3849, '1:04:09'],
  ])('%s seconds', (seconds, said) => {
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

  it('names each period and each skipped bell', () => {
    expect(describeQuiet({ periods: [{ from: '08:00', to: '09:30' }], skippedBells: ['10:25:00', '11:10:30'] })).toEqual([
      'The bells are kept quiet from 08:00 to 09:30.',
      'The bell at 10:25 is skipped.',
      'The bell at 11:10:30 is skipped.',
    ]);
  });
});
