// The editable form of a timetable: texts as the inputs hold them, checked and turned back
// into the stored record only when every field reads well.
import { NULL_ID, type PlayDesc, type SignalTable, type TimeTable, type UserPlay } from '../api/types';
import { compareTimes, formatLesson, formatTime, normaliseTime, parseLesson, parseTime, secondsToTime, timeToSeconds } from './time';

export interface PlayDraft {
  id: string;
  doRepeat: boolean;
  iterations: string;
  delaySec: string;
}

export interface LessonDraft {
  key: number;
  start: string;
  end: string;
}

export interface ChannelDraft {
  lessons: LessonDraft[];
  startOfClass: PlayDraft;
  endOfClass: PlayDraft;
  preStartWaitMin: string;
  preStart: PlayDraft;
  preEndWaitMin: string;
  preEnd: PlayDraft;
}

export interface SlotDraft {
  key: number;
  time: string;
}

export interface ExtraPlayDraft {
  key: number;
  desc: PlayDraft;
  slots: SlotDraft[];
}

export interface TimetableDraft {
  name: string;
  chA: ChannelDraft;
  chB: ChannelDraft;
  customPlays: ExtraPlayDraft[];
}

export type ChannelName = 'chA' | 'chB';
export const SIGNAL_FIELDS = ['preStart', 'startOfClass', 'preEnd', 'endOfClass'] as const;
export type SignalField = (typeof SIGNAL_FIELDS)[number];

/** Field path ("chA.lessons.2.end", "name") to the problem with it. */
export type FieldErrors = Record<string, string>;

let nextKey = 1;
export const newKey = (): number => nextKey++;

export const defaultPlay = (): PlayDraft => ({ id: NULL_ID, doRepeat: false, iterations: '2', delaySec: '1' });

function playToDraft(p: PlayDesc): PlayDraft {
  return { id: p.id, doRepeat: p.doRepeat, iterations: String(p.iterations), delaySec: String(p.delaySec) };
}

function lessonToDraft(text: string): LessonDraft {
  const parsed = parseLesson(text);
  if (parsed.ok) return { key: newKey(), ...parsed.value };
  // Keep what cannot be read, so the user sees it and can fix it.
  const [start = '', end = ''] = text.split('-').map((p) => p.trim());
  return { key: newKey(), start, end };
}

function channelToDraft(c: SignalTable): ChannelDraft {
  return {
    lessons: c.lessons.map(lessonToDraft),
    startOfClass: playToDraft(c.startOfClass),
    endOfClass: playToDraft(c.endOfClass),
    preStartWaitMin: String(c.preStartWaitMin),
    preStart: playToDraft(c.preStart),
    preEndWaitMin: String(c.preEndWaitMin),
    preEnd: playToDraft(c.preEnd),
  };
}

export function toDraft(t: TimeTable): TimetableDraft {
  return {
    name: t.name,
    chA: channelToDraft(t.chA),
    chB: channelToDraft(t.chB),
    customPlays: t.customPlays.map((u: UserPlay) => ({
      key: newKey(),
      desc: playToDraft(u.desc),
      slots: u.slots.map((time) => ({ key: newKey(), time })),
    })),
  };
}

export function defaultLessons(): LessonDraft[] {
  return [8, 9, 10, 11, 12, 13].map((h) => ({ key: newKey(), start: formatTime({ h, m: 0, s: 0 }), end: formatTime({ h, m: 45, s: 0 }) }));
}

const defaultChannel = (): ChannelDraft => ({
  lessons: defaultLessons(),
  startOfClass: defaultPlay(),
  endOfClass: defaultPlay(),
  preStartWaitMin: '5',
  preStart: defaultPlay(),
  preEndWaitMin: '5',
  preEnd: defaultPlay(),
});

export function emptyDraft(name: string): TimetableDraft {
  return { name, chA: defaultChannel(), chB: defaultChannel(), customPlays: [] };
}

/** Reads a whole number within limits; answers an error text instead when it does not fit. */
export function readInteger(text: string, min: number, max: number): number | string {
  const trimmed = text.trim();
  if (!/^-?\d+$/.test(trimmed)) return 'Enter a whole number';
  const n = Number(trimmed);
  if (n < min || n > max) return `Enter a number from ${min} to ${max}`;
  return n;
}

/** Reads a decimal number within limits; answers an error text instead when it does not fit. */
export function readDecimal(text: string, min: number, max: number): number | string {
  const trimmed = text.trim();
  if (!/^-?(\d+(\.\d*)?|\.\d+)$/.test(trimmed)) return 'Enter a number';
  const n = Number(trimmed);
  if (n < min || n > max) return `Enter a number from ${min} to ${max}`;
  return n;
}

function readPlay(d: PlayDraft, path: string, errors: FieldErrors): PlayDesc {
  const iterations = readInteger(d.iterations, 1, 100);
  const delaySec = readDecimal(d.delaySec, 0, 600);
  // The repeat fields matter only when the signal repeats; otherwise unreadable values are
  // replaced by the defaults rather than blocking the save.
  if (d.doRepeat && typeof iterations === 'string') errors[`${path}.iterations`] = iterations;
  if (d.doRepeat && typeof delaySec === 'string') errors[`${path}.delaySec`] = delaySec;
  return {
    id: d.id || NULL_ID,
    doRepeat: d.doRepeat,
    iterations: typeof iterations === 'number' ? iterations : 2,
    delaySec: typeof delaySec === 'number' ? delaySec : 1,
  };
}

function readLessons(lessons: LessonDraft[], path: string, errors: FieldErrors): string[] {
  return lessons.map((lesson, i) => {
    const start = normaliseTime(lesson.start);
    const end = normaliseTime(lesson.end);
    if (!start.ok) errors[`${path}.${i}.start`] = start.error;
    if (!end.ok) errors[`${path}.${i}.end`] = end.error;
    if (start.ok && end.ok && compareTimes(start.value, end.value) >= 0)
      errors[`${path}.${i}.end`] = 'The lesson must end after it starts';
    return start.ok && end.ok ? formatLesson({ start: start.value, end: end.value }) : '';
  });
}

function readChannel(c: ChannelDraft, path: string, errors: FieldErrors): SignalTable {
  const preStartWaitMin = readInteger(c.preStartWaitMin, 0, 1439);
  const preEndWaitMin = readInteger(c.preEndWaitMin, 0, 1439);
  if (typeof preStartWaitMin === 'string') errors[`${path}.preStartWaitMin`] = preStartWaitMin;
  if (typeof preEndWaitMin === 'string') errors[`${path}.preEndWaitMin`] = preEndWaitMin;
  return {
    lessons: readLessons(c.lessons, `${path}.lessons`, errors),
    startOfClass: readPlay(c.startOfClass, `${path}.startOfClass`, errors),
    endOfClass: readPlay(c.endOfClass, `${path}.endOfClass`, errors),
    preStartWaitMin: typeof preStartWaitMin === 'number' ? preStartWaitMin : 5,
    preStart: readPlay(c.preStart, `${path}.preStart`, errors),
    preEndWaitMin: typeof preEndWaitMin === 'number' ? preEndWaitMin : 5,
    preEnd: readPlay(c.preEnd, `${path}.preEnd`, errors),
  };
}

export type DraftResult = { ok: true; timetable: TimeTable } | { ok: false; errors: FieldErrors };

/** The record to send, or every problem found, keyed by field path. */
export function fromDraft(draft: TimetableDraft): DraftResult {
  const errors: FieldErrors = {};
  const name = draft.name.trim();
  if (name === '') errors.name = 'Give the timetable a name';
  const timetable: TimeTable = {
    name,
    chA: readChannel(draft.chA, 'chA', errors),
    chB: readChannel(draft.chB, 'chB', errors),
    customPlays: draft.customPlays.map((play, i) => {
      const desc = readPlay(play.desc, `customPlays.${i}.desc`, errors);
      const seen = new Set<string>();
      const slots = play.slots.map((slot, j) => {
        const time = normaliseTime(slot.time);
        if (!time.ok) {
          errors[`customPlays.${i}.slots.${j}`] = time.error;
          return '';
        }
        if (seen.has(time.value)) errors[`customPlays.${i}.slots.${j}`] = `${time.value} is listed twice`;
        seen.add(time.value);
        return time.value;
      });
      return { desc, slots };
    }),
  };
  return Object.keys(errors).length ? { ok: false, errors } : { ok: true, timetable };
}

/** Seconds of the day of a time text, or null when it does not read. */
export function secondsOf(text: string): number | null {
  const parsed = parseTime(text);
  return parsed.ok ? timeToSeconds(parsed.value) : null;
}

/** Advice that does not block saving: overlapping or unordered lessons. */
export function lessonWarnings(lessons: LessonDraft[]): string[] {
  const read = lessons
    .map((l, i) => ({ i, start: secondsOf(l.start), end: secondsOf(l.end) }))
    .filter((l): l is { i: number; start: number; end: number } => l.start !== null && l.end !== null);
  const warnings: string[] = [];
  for (let k = 1; k < read.length; k++) {
    if (read[k].start < read[k - 1].start) {
      warnings.push(`Lesson ${read[k].i + 1} starts before lesson ${read[k - 1].i + 1}; "Sort by start" puts them in order.`);
    } else if (read[k].start < read[k - 1].end) {
      warnings.push(`Lesson ${read[k].i + 1} starts before lesson ${read[k - 1].i + 1} ends.`);
    }
  }
  return warnings;
}

/** The list with the item at `index` moved by `delta` places; unchanged when it cannot move. */
export function move<T>(list: T[], index: number, delta: number): T[] {
  const target = index + delta;
  if (index < 0 || index >= list.length || target < 0 || target >= list.length) return list;
  const copy = list.slice();
  const [item] = copy.splice(index, 1);
  copy.splice(target, 0, item);
  return copy;
}

export function sortLessons(lessons: LessonDraft[]): LessonDraft[] {
  return lessons.slice().sort((a, b) => compareTimes(a.start, b.start) || compareTimes(a.end, b.end));
}

/**
 * A new lesson after the last one: the same length as it (45 minutes when there is none
 * to go by), after a break of the same length as the last break (15 minutes by default).
 */
export function nextLesson(lessons: LessonDraft[]): LessonDraft {
  const read = lessons
    .map((l) => [secondsOf(l.start), secondsOf(l.end)])
    .filter((pair): pair is [number, number] => pair[0] !== null && pair[1] !== null);
  let length = 45 * 60;
  let pause = 15 * 60;
  let start = 8 * 3600;
  if (read.length > 0) {
    const [lastStart, lastEnd] = read[read.length - 1];
    if (lastEnd > lastStart) length = lastEnd - lastStart;
    if (read.length > 1) {
      const gap = lastStart - read[read.length - 2][1];
      if (gap >= 0) pause = gap;
    }
    start = lastEnd + pause;
  }
  return { key: newKey(), start: formatTime(secondsToTime(start)), end: formatTime(secondsToTime(start + length)) };
}

export const SIGNAL_LABELS: Record<SignalField, string> = {
  preStart: 'Warning before the start',
  startOfClass: 'Start of the lesson',
  preEnd: 'Warning before the end',
  endOfClass: 'End of the lesson',
};
