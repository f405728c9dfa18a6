import { describe, expect, it } from 'vitest';
import { asksBeforePlaying, stopAskingToday } from '../src/lib/askBeforePlaying';

function memory() {
  const kept = new Map<string, string>();
  return { getItem: (k: string) => kept.get(k) ?? null, setItem: (k: string, v: string) => void kept.set(k, v) };
}

describe('asking before a signal plays on every loudspeaker', () => {
  it.each([
    ['never told', null, '2026-12-10', true],
    ['told so today', '2026-12-10', '2026-12-10', false],
    ['told so yesterday', '2026-12-09', '2026-12-10', true],
  ])('%s: asks %s', (_, toldOn, today, asks) => {
    const storage = memory();
    if (toldOn) stopAskingToday(toldOn, storage);
    expect(asksBeforePlaying(today, storage)).toBe(asks);
  });

  it('asks every time where the browser keeps nothing', () => {
    stopAskingToday('2026-12-10', null);
    expect(asksBeforePlaying('2026-12-10', null)).toBe(true);
  });
});
