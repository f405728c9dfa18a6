import { describe, expect, it } from 'vitest';
import { AFTER_BELL_MS, FIRST_PLAN, type Part, plan, type PlanState, secondsUntil, type Shown } from '../src/lib/dashboardPoll';

const NOTHING: Shown = { time: null, nextBellAt: null };

/** Plans a tick every `tickMs` from 0 to `untilMs`; answers when each part was asked for. */
function run(untilMs: number, tickMs = 1000, shownAt: (now: number) => Shown = () => NOTHING, forcedAt: Record<number, Part[]> = {}) {
  let state: PlanState = FIRST_PLAN;
  const asked: Partial<Record<Part, number[]>> = {};
  for (let now = 0; now <= untilMs; now += tickMs) {
    const planned = plan(state, shownAt(now), now, forcedAt[now]);
    state = planned.state;
    for (const part of planned.parts) (asked[part] ??= []).push(now);
  }
  return asked;
}

describe('the dashboard poll', () => {
  it('asks for each part at its own rate, the signals and warnings once', () => {
    const asked = run(60000);
    expect(asked.status).toHaveLength(61);
    expect({ ...asked, status: undefined }).toEqual({
      status: undefined,
      overview: [0, 10000, 20000, 30000, 40000, 50000, 60000],
      settings: [0, 10000, 20000, 30000, 40000, 50000, 60000],
      day: [0, 15000, 30000, 45000, 60000],
      clockHealth: [0, 60000],
      calendarInfo: [0, 60000],
      signals: [0],
      warnings: [0],
    });
  });

  // Each tick comes after the answers of the one before: the periods must not grow by a tick each time.
  it.each([
    ['overview', 10000, 1100],
    ['day', 15000, 1040],
  ] as const)('keeps the rate of the %s, every %i ms, when the ticks come %i ms apart', (part, period, tick) => {
    const moments = run(4.5 * period, tick)[part] ?? [];
    const gaps = moments.slice(1).map((at, i) => at - moments[i]);
    expect(gaps).toHaveLength(4);
    for (const gap of gaps) expect(Math.abs(gap - period)).toBeLessThanOrEqual(tick / 2);
  });

  it('asks at once for what an action changed, and counts its period from then', () => {
    const asked = run(20000, 1000, undefined, { 4000: ['overview', 'signals'] });
    expect(asked.overview).toEqual([0, 4000, 14000]);
    expect(asked.settings).toEqual([0, 10000, 20000]);
    expect(asked.signals).toEqual([0, 4000]);
  });

  it('asks for today’s bells when the next bell is due, once more a moment later, and not again for that bell', () => {
    const clock = (now: number): Shown => ({ time: `08:00:${String(now / 1000).padStart(2, '0')}`, nextBellAt: '08:00:05' });
    expect(run(14000, 1000, clock).day).toEqual([0, 5000, 5000 + Math.ceil(AFTER_BELL_MS / 1000) * 1000]);
  });

  it.each([
    ['passes midnight', '23:59:59', '00:00:00', ['status', 'overview', 'settings', 'day']],
    ['goes on', '10:00:00', '10:00:01', ['status']],
  ])('when the clock %s, asks for %j', (_, before, after, parts) => {
    let { state } = plan(FIRST_PLAN, NOTHING, 0);
    state = plan(state, { time: before, nextBellAt: null }, 1000).state;
    expect(plan(state, { time: after, nextBellAt: null }, 2000).parts).toEqual(parts);
  });

  it.each([
    ['08:00:00', '07:59:52', 8],
    ['09:00:05', '08:59:55', 10],
    ['08:00:00', '08:00:01', -1],
  ])('the bell at %s is, by the clock at %s, %i seconds away', (bell, time, left) => {
    expect(secondsUntil(bell, time)).toBe(left);
  });
});
