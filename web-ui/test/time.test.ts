import { describe, expect, it } from 'vitest';
import {
  addDays,
  compareTimes,
  dayNumber,
  describeDate,
  formatDate,
  formatDuration,
  formatLesson,
  formatTime,
  fromDayNumber,
  isoWeek,
  normaliseTime,
  parseDate,
  parseLesson,
  parseTime,
  secondsToTime,
  shiftMonth,
  shortDate,
  weekdayOf,
} from '../src/lib/time';

describe('time of day', () => {
  it.each([
    ['8:5', '08:05'],
    ['08:05', '08:05'],
    [' 07:45 ', '07:45'],
    ['08:00:00', '08:00'],
    ['08:00:01', '08:00:01'],
    ['23:59:59', '23:59:59'],
    ['0:0', '00:00'],
  ])('reads %j as %s', (text, stored) => {
    expect(normaliseTime(text)).toEqual({ ok: true, value: stored });
  });

  it.each(['24:00', '12:60', '12:00:60', '-1:00', '12', '', '   ', '1:2:3:4', 'ab:cd', '12:5x', '123:00'])('refuses %j', (text) => {
    const result = parseTime(text);
    expect(result.ok).toBe(false);
    if (!result.ok) expect(result.error.length).toBeGreaterThan(0);
  });

  it('names the part that is out of range', () => {
    expect(parseTime('24:00')).toEqual({ ok: false, error: 'The hour of "24:00" must be 0 to 23' });
    expect(parseTime('10:75')).toEqual({ ok: false, error: 'The minutes of "10:75" must be 0 to 59' });
    expect(parseTime('')).toEqual({ ok: false, error: 'Enter a time' });
  });

  it('writes seconds only when they are not zero', () => {
    expect(formatTime({ h: 8, m: 5, s: 0 })).toBe('08:05');
    expect(formatTime({ h: 8, m: 5, s: 9 })).toBe('08:05:09');
  });

  it.each([
    ['8.05', '08:05'],
    ['08.05.30', '08:05:30'],
    ['805', '08:05'],
    ['0805', '08:05'],
    ['80530', '08:05:30'],
    ['080530', '08:05:30'],
  ])('reads the keypad form %j as %s', (text, stored) => {
    expect(normaliseTime(text)).toEqual({ ok: true, value: stored });
  });

  it('refuses digit runs that are no time', () => {
    expect(parseTime('2460').ok).toBe(false);
    expect(parseTime('0860').ok).toBe(false);
    expect(parseTime('12345678').ok).toBe(false);
    expect(parseTime('8:05.30:1').ok).toBe(false);
  });

  it('wraps seconds into one day', () => {
    expect(formatTime(secondsToTime(86400))).toBe('00:00');
    expect(formatTime(secondsToTime(-1))).toBe('23:59:59');
    expect(formatTime(secondsToTime(90061))).toBe('01:01:01');
  });

  it('orders times by their seconds and puts unreadable ones last', () => {
    expect(compareTimes('08:00', '08:00:00')).toBe(0);
    expect(compareTimes('8:59:59', '09:00')).toBe(-1);
    expect(compareTimes('10:00', '9:00')).toBe(1);
    expect(compareTimes('bad', '23:59')).toBe(1);
  });
});

describe('lessons', () => {
  it('reads the stored form and spaces or their absence', () => {
    expect(parseLesson('08:00 - 08:45')).toEqual({ ok: true, value: { start: '08:00', end: '08:45' } });
    expect(parseLesson('7:30-8:15')).toEqual({ ok: true, value: { start: '07:30', end: '08:15' } });
    expect(parseLesson('07:30:15 - 08:15')).toEqual({ ok: true, value: { start: '07:30:15', end: '08:15' } });
  });

  it('refuses texts that are not two times', () => {
    expect(parseLesson('08:00').ok).toBe(false);
    expect(parseLesson('08:00 - 25:00').ok).toBe(false);
    expect(parseLesson('08:00 - 09:00 - 10:00').ok).toBe(false);
  });

  it('writes the stored form back', () => {
    expect(formatLesson({ start: '07:30', end: '08:15' })).toBe('07:30 - 08:15');
  });
});

describe('dates', () => {
  it('reads valid days, with or without leading zeros', () => {
    expect(parseDate('2024-09-02')).toEqual({ ok: true, value: { y: 2024, m: 9, d: 2 } });
    expect(parseDate(' 2024-2-29 ')).toEqual({ ok: true, value: { y: 2024, m: 2, d: 29 } });
    expect(parseDate('2000-02-29').ok).toBe(true);
  });

  it.each(['2023-02-29', '1900-02-29', '2024-13-01', '2024-00-10', '2024-04-31', '2024/02/01', '2024-09', '24-09-02', ''])('refuses %j', (text) => {
    expect(parseDate(text).ok).toBe(false);
  });

  it('writes four-digit years and two-digit months and days', () => {
    expect(formatDate({ y: 2024, m: 9, d: 2 })).toBe('2024-09-02');
    expect(formatDate({ y: 999, m: 1, d: 5 })).toBe('0999-01-05');
  });

  it('counts days across months, leap days and centuries', () => {
    expect(dayNumber({ y: 1970, m: 1, d: 1 })).toBe(0);
    expect(dayNumber({ y: 2000, m: 3, d: 1 }) - dayNumber({ y: 2000, m: 2, d: 28 })).toBe(2);
    expect(dayNumber({ y: 2100, m: 3, d: 1 }) - dayNumber({ y: 2100, m: 2, d: 28 })).toBe(1);
    for (const n of [-800000, -1, 0, 19999, 20000, 730000]) expect(dayNumber(fromDayNumber(n))).toBe(n);
    expect(formatDate(addDays({ y: 2024, m: 12, d: 31 }, 1))).toBe('2025-01-01');
    expect(formatDate(addDays({ y: 2024, m: 3, d: 1 }, -1))).toBe('2024-02-29');
  });

  it('numbers weekdays from Monday', () => {
    expect(weekdayOf({ y: 2024, m: 9, d: 2 })).toBe(0); // a Monday
    expect(weekdayOf({ y: 2026, m: 1, d: 1 })).toBe(3); // a Thursday
    expect(weekdayOf({ y: 2023, m: 12, d: 31 })).toBe(6); // a Sunday
    expect(weekdayOf({ y: 1969, m: 12, d: 31 })).toBe(2); // before the epoch: a Wednesday
  });

  it('gives ISO week numbers, including weeks that cross the year', () => {
    expect(isoWeek({ y: 2026, m: 1, d: 1 })).toBe(1);
    expect(isoWeek({ y: 2024, m: 12, d: 30 })).toBe(1);
    expect(isoWeek({ y: 2021, m: 1, d: 3 })).toBe(53);
    expect(isoWeek({ y: 2020, m: 12, d: 31 })).toBe(53);
    expect(isoWeek({ y: 2024, m: 9, d: 2 })).toBe(36);
  });

  it('shifts months across years both ways', () => {
    expect(shiftMonth(2024, 1, -1)).toEqual({ year: 2023, month: 12 });
    expect(shiftMonth(2024, 1, -13)).toEqual({ year: 2022, month: 12 });
    expect(shiftMonth(2024, 5, 12)).toEqual({ year: 2025, month: 5 });
    expect(shiftMonth(2024, 12, 1)).toEqual({ year: 2025, month: 1 });
  });

  it('describes a day in words', () => {
    expect(describeDate('2024-09-02')).toBe('Monday, 2 September 2024');
    expect(describeDate('not a date')).toBe('not a date');
  });
});

describe('durations', () => {
  it('writes minutes and seconds, hours when needed, and a dash when unknown', () => {
    expect(formatDuration(0)).toBe('0:00');
    expect(formatDuration(11)).toBe('0:11');
    expect(formatDuration(125)).toBe('2:05');
    expect(formatDuration(3725)).toBe('1:02:05');
    expect(formatDuration(-1)).toBe('—');
  });
});

describe('short dates', () => {
  it('writes the weekday, day and month', () => {
    // Versions of the platform's locale data differ in the comma after the weekday.
    expect(shortDate('2024-09-09')).toMatch(/^Mon,? 9 Sept?$/);
    expect(shortDate('2026-01-01')).toMatch(/^Thu,? 1 Jan$/);
    expect(shortDate('x')).toBe('x');
  });
});
