// When the dashboard asks the server for what. One timer ticks every second; each tick asks for
// the answers whose time has come, all at once, so that what the dashboard shows was read
// together: the clock every second, today's state every ten seconds, today's bells every
// fifteen, the clock's health and the calendar's holiday data every minute. The signals and
// start-up warnings are asked once.

/** An answer, or a group of answers that change together, that the dashboard shows. */
export type Part = 'status' | 'overview' | 'settings' | 'day' | 'clockHealth' | 'calendarInfo' | 'signals' | 'warnings';

export const TICK_MS = 1000;

/** How often each part is asked for; Infinity: once, and again only when asked for by hand. */
export const EVERY_MS: Record<Part, number> = {
  status: TICK_MS,
  // The settings carry today's choice of timetable, which another browser may change.
  overview: 10000,
  settings: 10000,
  // The next bell, today's bells and the quiet periods.
  day: 15000,
  clockHealth: 60000,
  // Whether the online service has sent holiday data yet: it comes once, some time after the start.
  calendarInfo: 60000,
  signals: Infinity,
  warnings: Infinity,
};

/** After a bell is due, today's bells are asked for at once and again this much later, when its play is in the log. */
export const AFTER_BELL_MS = 2500;

/** What the dashboard shows now that decides what to ask for. */
export interface Shown {
  /** The server's clock, "HH:MM:SS". */
  time: string | null;
  /** When the next bell rings, "HH:MM:SS", or null when none rings today. */
  nextBellAt: string | null;
}

export interface PlanState {
  /** When each part was last asked for (ms). */
  asked: Partial<Record<Part, number>>;
  /** The bell whose moment has already made today's bells be asked for. */
  bellHandled: string | null;
  /** When today's bells are to be asked for once more after a bell. */
  againAt: number | null;
  /** The clock shown at the last plan. */
  lastTime: string | null;
}

export const FIRST_PLAN: PlanState = { asked: {}, bellHandled: null, againAt: null, lastTime: null };

const PARTS = Object.keys(EVERY_MS) as Part[];

/** Seconds since midnight of "HH:MM:SS". */
export function secondsOfDay(time: string): number {
  const [h = 0, m = 0, s = 0] = time.split(':').map(Number);
  return h * 3600 + m * 60 + s;
}

/** Seconds from the clock shown until the next bell; 0 or less once it is due. */
export function secondsUntil(bellAt: string, time: string): number {
  return secondsOfDay(bellAt) - secondsOfDay(time);
}

/**
 * The parts to ask for at `now`, with `forced` asked whatever their time, and the state for the
 * next plan. A part is due half a tick early, so that a period is not stretched by a tick.
 */
export function plan(state: PlanState, shown: Shown, now: number, forced: Part[] = []): { parts: Part[]; state: PlanState } {
  const ask = new Set<Part>(forced);
  for (const part of PARTS) {
    const asked = state.asked[part];
    if (asked === undefined || now - asked >= EVERY_MS[part] - TICK_MS / 2) ask.add(part);
  }
  let { bellHandled, againAt } = state;
  if (shown.time !== null && shown.nextBellAt !== null && shown.nextBellAt !== bellHandled && secondsUntil(shown.nextBellAt, shown.time) <= 0) {
    bellHandled = shown.nextBellAt;
    againAt = now + AFTER_BELL_MS;
    ask.add('day');
  } else if (againAt !== null && now >= againAt) {
    againAt = null;
    ask.add('day');
  }
  // A clock that went back has passed midnight (or was set back): the day shown is another one.
  if (shown.time !== null && state.lastTime !== null && shown.time < state.lastTime) for (const part of ['overview', 'settings', 'day'] as const) ask.add(part);
  const asked = { ...state.asked };
  for (const part of ask) asked[part] = now;
  return { parts: PARTS.filter((p) => ask.has(p)), state: { asked, bellHandled, againAt, lastTime: shown.time ?? state.lastTime } };
}
