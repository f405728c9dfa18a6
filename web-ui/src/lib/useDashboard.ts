// The dashboard's one poll: every tick asks for what is due (see dashboardPoll.ts) and hands
// all the answers over at once, so that no part of the dashboard shows an older state than another.
import { useCallback, useEffect, useRef, useState } from 'preact/hooks';
import { api, ApiError } from '../api/client';
import type { CalendarInfo, ClockHealth, NextBell, Overview, PlannedQuiet, QuietToday, Settings, SignalRow, Status, TodayBell } from '../api/types';
import { setBellsOn } from '../bells';
import { navigate } from '../router';
import { setPasswordSet, welcomeDone } from '../session';
import { errorText, usePolling } from './hooks';
import { FIRST_PLAN, type Part, plan, TICK_MS } from './dashboardPoll';

/** What rings next, what rang and what is kept quiet: read together, they never disagree. */
export interface DayAnswers {
  next: NextBell | null;
  bells: TodayBell[];
  quiet: QuietToday;
  /** The quiet periods planned for today and the days to come. */
  planned: PlannedQuiet[];
}

export interface DashboardData {
  status?: Status;
  overview?: Overview;
  settings?: Settings;
  day?: DayAnswers;
  clockHealth?: ClockHealth;
  calendarInfo?: CalendarInfo;
  signals?: SignalRow[];
  warnings?: string[];
  /** Why a part could not be had at its last asking; its last answer stays shown. */
  errors: Partial<Record<Part, string>>;
  /** The status could not be had at all: the server cannot be reached. */
  unreachable: boolean;
}

type Answers = { [P in Part]: NonNullable<DashboardData[P]> };

const LOAD: { [P in Part]: () => Promise<Answers[P]> } = {
  status: api.status,
  overview: api.overview,
  settings: api.settings,
  day: async () => {
    const [next, bells, quiet, planned] = await Promise.all([api.nextBell(), api.todayBells(), api.quietToday(), api.quietPlanned()]);
    return { next, bells, quiet, planned };
  },
  clockHealth: api.clockHealth,
  calendarInfo: api.calendarInfo,
  signals: api.signals,
  warnings: api.startupWarnings,
};

type Outcome = { part: Part; ok: true; value: Answers[Part] } | { part: Part; ok: false; error: unknown };

/** What the rest of the interface learns from the overview: the login state and the bells switch. */
function tellOthers(overview: Overview): void {
  setPasswordSet(!overview.passwordMissing);
  setBellsOn(overview.activeTimetableInfo.source !== 'DISABLED');
  if (overview.passwordMissing && !welcomeDone()) navigate('/welcome', { replace: true });
}

function withOutcomes(data: DashboardData, outcomes: Outcome[]): DashboardData {
  const next: DashboardData = { ...data, errors: { ...data.errors } };
  for (const outcome of outcomes) {
    if (outcome.ok) {
      (next as Record<Part, unknown>)[outcome.part] = outcome.value;
      delete next.errors[outcome.part];
    } else next.errors[outcome.part] = errorText(outcome.error);
    if (outcome.part === 'status') next.unreachable = !outcome.ok && outcome.error instanceof ApiError && outcome.error.status === 0;
  }
  return next;
}

export interface Dashboard {
  data: DashboardData;
  /** Asks for these parts at once (after an action that changed them); settles once they are shown. */
  refresh: (...parts: Part[]) => Promise<void>;
}

export function useDashboard(): Dashboard {
  const [data, setData] = useState<DashboardData>({ errors: {}, unreachable: false });
  const shown = useRef(data);
  shown.current = data;
  const planState = useRef(FIRST_PLAN);
  // The latest asking of each part: an answer overtaken by a later one is dropped.
  const latest = useRef<Partial<Record<Part, number>>>({});
  const rounds = useRef(0);
  const alive = useRef(true);

  const round = useCallback(async (forced: Part[]) => {
    const now = Date.now();
    const { status, day } = shown.current;
    const planned = plan(planState.current, { time: status?.time ?? null, nextBellAt: day?.next?.at ?? null }, now, forced);
    planState.current = planned.state;
    if (planned.parts.length === 0) return;
    const ticket = ++rounds.current;
    for (const part of planned.parts) latest.current[part] = ticket;
    const outcomes = await Promise.all(
      planned.parts.map((part): Promise<Outcome> =>
        LOAD[part]().then(
          (value) => ({ part, ok: true, value }),
          (error: unknown) => ({ part, ok: false, error }),
        ),
      ),
    );
    if (!alive.current) return;
    const current = outcomes.filter((o) => latest.current[o.part] === ticket);
    for (const o of current) if (o.ok && o.part === 'overview') tellOthers(o.value as Overview);
    const next = withOutcomes(shown.current, current);
    shown.current = next;
    setData(next);
  }, []);

  useEffect(() => {
    alive.current = true;
    void round([]);
    return () => {
      alive.current = false;
    };
  }, []);
  usePolling(() => round([]), TICK_MS);

  const refresh = useCallback((...parts: Part[]) => round(parts), []);
  return { data, refresh };
}
