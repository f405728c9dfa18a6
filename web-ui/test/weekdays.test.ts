import { describe, expect, it } from 'vitest';
import {
  daysFromMask,
  describeDays,
  describeMask,
  maskFromDays,
  maskHasDay,
  recurrenceApplies,
  toggleDay,
  workdayModeLabel,
  workdaysOf,
} from '../src/lib/weekdays';

describe('weekday mask', () => {
  it('sets bit 0 for Monday up to bit 6 for Sunday', () => {
    expect(maskFromDays([0])).toBe(1);
    expect(maskFromDays([6])).toBe(64);
    expect(maskFromDays([0, 2, 4])).toBe(0b10101);
    expect(maskFromDays([0, 1, 2, 3, 4, 5, 6])).toBe(127);
    expect(maskFromDays([])).toBe(0);
    expect(maskFromDays([3, 3])).toBe(8);
  });

  it('refuses numbers that are no weekday', () => {
    expect(() => maskFromDays([7])).toThrow(RangeError);
    expect(() => maskFromDays([-1])).toThrow(RangeError);
    expect(() => maskFromDays([1.5])).toThrow(RangeError);
  });

  it('reads a mask back into weekdays, ignoring higher bits', () => {
    expect(daysFromMask(0b1000001)).toEqual([0, 6]);
    expect(daysFromMask(0)).toEqual([]);
    expect(daysFromMask(128 + 2)).toEqual([1]);
    for (let mask = 0; mask < 128; mask++) expect(maskFromDays(daysFromMask(mask))).toBe(mask);
  });

  it('toggles single days', () => {
    let mask = 0;
    mask = toggleDay(mask, 2);
    expect(maskHasDay(mask, 2)).toBe(true);
    expect(maskHasDay(mask, 1)).toBe(false);
    mask = toggleDay(mask, 2);
    expect(mask).toBe(0);
  });

  it('describes days with ranges of three or more', () => {
    expect(describeDays([0, 1, 2, 3, 4])).toBe('Mon–Fri');
    expect(describeDays([0, 2, 4])).toBe('Mon, Wed, Fri');
    expect(describeDays([0, 1])).toBe('Mon, Tue');
    expect(describeDays([5, 0, 1, 2])).toBe('Mon–Wed, Sat');
    expect(describeMask(127)).toBe('every day');
    expect(describeMask(0)).toBe('no day');
  });
});

describe('working weeks', () => {
  it('knows every code and treats unknown codes as every day', () => {
    expect(workdaysOf(15)).toEqual([0, 1, 2, 3, 4]);
    expect(workdaysOf(25)).toContain(6);
    expect(workdaysOf(25)).not.toContain(4);
    expect(workdaysOf(35)).toEqual([5, 6, 0, 1, 2]);
    expect(workdaysOf(99)).toEqual([0, 1, 2, 3, 4, 5, 6]);
    expect(workdayModeLabel(16)).toBe('Monday to Saturday');
    expect(workdayModeLabel(99)).toBe('Every day (code 99)');
  });
});

describe('recurrence', () => {
  it('applies every week, even or odd ISO weeks on the chosen days', () => {
    expect(recurrenceApplies(1, 1, 0, 10)).toBe(true);
    expect(recurrenceApplies(1, 1, 1, 10)).toBe(false);
    expect(recurrenceApplies(2, 127, 3, 10)).toBe(true);
    expect(recurrenceApplies(2, 127, 3, 11)).toBe(false);
    expect(recurrenceApplies(3, 127, 3, 53)).toBe(true);
    expect(recurrenceApplies(3, 127, 3, 52)).toBe(false);
    expect(recurrenceApplies(4, 127, 3, 1)).toBe(false);
  });
});
