// How the interface words what rang, what rings next and how far the clock can be trusted.
import type { BellMark, ClockHealth, PlaySource, QuietToday } from '../api/types';
import { parseTime, timeToSeconds } from './time';

/** What made a play, as a sentence fragment: "Start of lesson 2", "Extra play". */
export function sourceLabel(source: PlaySource, lesson: number | null): string {
  const of = lesson === null ? '' : ` ${lesson}`;
  switch (source) {
    case 'lessonStart':
      return `Start of lesson${of}`;
    case 'lessonEnd':
      return `End of lesson${of}`;
    case 'preStart':
      return `Before the start of lesson${of}`;
    case 'preEnd':
      return `Before the end of lesson${of}`;
    case 'extraPlay':
      return 'Extra play';
    case 'programme':
      return 'Programme';
    case 'alarm':
      return 'Alarm';
    case 'announcement':
      return 'Announcement';
    case 'manual':
      return 'Played by hand';
  }
}

/** "09:45:00.002" of a local ISO time with milliseconds; the text itself when it has no time. */
export function timeOfIso(text: string): string {
  const t = text.indexOf('T');
  return t < 0 ? text : text.slice(t + 1);
}

/** "0.4 s late", or nothing when it began within a tenth of a second. */
export function lateness(lateMs: number | null): string | null {
  if (lateMs === null || lateMs < 100) return null;
  return lateMs < 60000 ? `${(lateMs / 1000).toFixed(1)} s late` : `${Math.round(lateMs / 60000)} min late`;
}

export interface MarkText {
  /** Short words for the list: "Rang at 09:45:00.002". */
  text: string;
  /** The reason or the lateness, when there is one. */
  detail: string | null;
  /** The CSS class that carries its colour. */
  tone: 'ok' | 'bad' | 'skip' | 'coming';
}

/** What became of a bell, in words. */
export function markText(mark: BellMark, started: string | null, lateMs: number | null, detail: string): MarkText {
  switch (mark) {
    case 'played':
      return { text: started ? `Rang at ${timeOfIso(started)}` : 'Rang', detail: lateness(lateMs), tone: 'ok' };
    case 'stopped':
      return { text: started ? `Rang at ${timeOfIso(started)}, stopped` : 'Stopped before it rang', detail: lateness(lateMs), tone: 'ok' };
    case 'failed':
      return { text: 'Failed', detail: detail || null, tone: 'bad' };
    case 'skipped':
      return { text: 'Skipped', detail: detail || null, tone: 'skip' };
    case 'missed':
      return { text: 'Did not ring', detail: 'Tollwick Player was not running, or the bells were off', tone: 'bad' };
    case 'quiet':
      return { text: 'Will be skipped', detail: 'quiet period', tone: 'skip' };
    case 'coming':
      return { text: 'Coming', detail: null, tone: 'coming' };
  }
}

/** A countdown of whole seconds: "45 s", "12:05", "1:04:09". */
export function countdown(seconds: number): string {
  const total = Math.max(0, Math.floor(seconds));
  const h = Math.floor(total / 3600);
  const m = Math.floor((total % 3600) / 60);
  const s = total % 60;
  const pad = (n: number) => String(n).padStart(2, '0');
  if (h > 0) return `${h}:${pad(m)}:${pad(s)}`;
  if (m > 0) return `${m}:${pad(s)}`;
  return `${s} s`;
}

export const CLOCK_WARNING = "This PC's clock is not synchronised: the bells may drift.";

/** The warning to show about the clock, or null while the clock is synchronised or nobody can tell. */
export function clockWarning(health: ClockHealth | undefined): string | null {
  return health?.synchronised === false ? CLOCK_WARNING : null;
}

/** The sentences that say what is kept quiet today. */
export function describeQuiet(quiet: QuietToday): string[] {
  const hm = (t: string) => t.slice(0, 5);
  return [
    ...quiet.periods.map((p) => `The bells are kept quiet from ${p.from} to ${p.to}.`),
    ...quiet.skippedBells.map((t) => `The bell at ${t.endsWith(':00') ? hm(t) : t} is skipped.`),
  ];
}

/** Reads a quiet period typed as two whole-minute times; the reason when it cannot be one. */
export function checkQuietPeriod(from: string, to: string): { ok: true; from: string; to: string } | { ok: false; error: string } {
  const a = parseTime(from);
  if (!a.ok) return { ok: false, error: a.error };
  const b = parseTime(to);
  if (!b.ok) return { ok: false, error: b.error };
  if (a.value.s !== 0 || b.value.s !== 0) return { ok: false, error: 'Give whole minutes, like 08:00' };
  if (timeToSeconds(b.value) <= timeToSeconds(a.value)) return { ok: false, error: 'The quiet period must end after it begins' };
  const hm = (t: { h: number; m: number }) => `${String(t.h).padStart(2, '0')}:${String(t.m).padStart(2, '0')}`;
  return { ok: true, from: hm(a.value), to: hm(b.value) };
}
