// The editable form of a timetable: texts as the inputs hold them, checked and turned back
// into the stored record only when every field reads well.
import { NULL_ID, type PlayDesc, type SignalTable, type TimeTable, type UserPlay } from '../api/types';
import { t, type MessageKey } from '../i18n';
import { clockTime } from '../i18n/format';
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

/** A time of the day as people read it: seconds only when they are not zero. */
function shownTime(seconds: number): string {
  const { h, m, s } = secondsToTime(seconds);
  return clockTime(h, m, s, s > 0);
}

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
  if (!/^-?\d+$/.test(trimmed)) return t('timetableForm.enterWholeNumber');
  const n = Number(trimmed);
  if (n < min || n > max) return t('timetableForm.numberRange', { min, max });
  return n;
}

/** Reads a decimal number within limits; answers an error text instead when it does not fit. */
export function readDecimal(text: string, min: number, max: number): number | string {
  const trimmed = text.trim();
  if (!/^-?(\d+(\.\d*)?|\.\d+)$/.test(trimmed)) return t('timetableForm.enterNumber');
  const n = Number(trimmed);
  if (n < min || n > max) return t('timetableForm.numberRange', { min, max });
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
      errors[`${path}.${i}.end`] = t('timetableForm.lessonEndsBeforeStart');
    return start.ok && end.ok ? formatLesson({ start: start.value, end: end.value }) : '';
  });
}

function readChannel(c: ChannelDraft, path: string, errors: FieldErrors): SignalTable {
  const preStartWaitMin = readInteger(c.preStartWaitMin, 0, 1439);
  const preEndWaitMin = readInteger(c.preEndWaitMin, 0, 1439);
  if (typeof preStartWaitMin === 'string') errors[`${path}.preStartWaitMin`] = preStartWaitMin;
  if (typeof preEndWaitMin === 'string') errors[`${path}.preEndWaitMin`] = preEndWaitMin;
  const channel: SignalTable = {
    lessons: readLessons(c.lessons, `${path}.lessons`, errors),
    startOfClass: readPlay(c.startOfClass, `${path}.startOfClass`, errors),
    endOfClass: readPlay(c.endOfClass, `${path}.endOfClass`, errors),
    preStartWaitMin: typeof preStartWaitMin === 'number' ? preStartWaitMin : 5,
    preStart: readPlay(c.preStart, `${path}.preStart`, errors),
    preEndWaitMin: typeof preEndWaitMin === 'number' ? preEndWaitMin : 5,
    preEnd: readPlay(c.preEnd, `${path}.preEnd`, errors),
  };
  for (const [relative, problem] of Object.entries(lessonProblems(c.lessons)))
    errors[relative ? `${path}.lessons.${relative}` : `${path}.lessons`] ??= problem;
  if (typeof preStartWaitMin === 'number' && channel.preStart.id !== NULL_ID)
    checkWarningFits(c.lessons, 'start', preStartWaitMin, `${path}.preStartWaitMin`, errors);
  if (typeof preEndWaitMin === 'number' && channel.preEnd.id !== NULL_ID)
    checkWarningFits(c.lessons, 'end', preEndWaitMin, `${path}.preEndWaitMin`, errors);
  return channel;
}

/**
 * A warning rings on the day of its lesson: `minutes` before the earliest start (or end) must
 * not reach back into the day before, where it would ring in the night.
 */
function checkWarningFits(lessons: LessonDraft[], which: 'start' | 'end', minutes: number, path: string, errors: FieldErrors): void {
  let first: { no: number; seconds: number } | null = null;
  for (const [index, lesson] of lessons.entries()) {
    const seconds = secondsOf(lesson[which]);
    if (seconds !== null && (first === null || seconds < first.seconds)) first = { no: index + 1, seconds };
  }
  if (first === null || minutes * 60 <= first.seconds) return;
  const values = { minutes: Math.floor(first.seconds / 60), lesson: first.no, time: shownTime(first.seconds) };
  errors[path] = which === 'start' ? t('timetableForm.noRoomBeforeStart', values) : t('timetableForm.noRoomBeforeEnd', values);
}

/**
 * Lessons that would ring nonsense: out of order (then only sorting is asked for), the same as
 * another, or starting before an earlier one ends. Keys are "<index>.start" for a lesson's
 * problem and "" for the list as a whole. Lessons whose times do not read are left to the field
 * checks.
 */
export function lessonProblems(lessons: LessonDraft[]): FieldErrors {
  const read = lessons
    .map((l, i) => ({ no: i + 1, start: secondsOf(l.start), end: secondsOf(l.end) }))
    .filter((l): l is { no: number; start: number; end: number } => l.start !== null && l.end !== null && l.end > l.start);
  for (let k = 1; k < read.length; k++) {
    if (read[k].start < read[k - 1].start)
      return { '': t('timetableForm.lessonsOutOfOrder', { lesson: read[k].no, previous: read[k - 1].no }) };
  }
  const problems: FieldErrors = {};
  let latest = read[0];
  for (let k = 1; k < read.length; k++) {
    const lesson = read[k];
    const previous = read[k - 1];
    if (lesson.start === previous.start && lesson.end === previous.end) {
      problems[`${lesson.no - 1}.start`] = t('timetableForm.lessonTwice', { lesson: lesson.no, previous: previous.no });
    } else if (lesson.start < latest.end) {
      problems[`${lesson.no - 1}.start`] = t('timetableForm.lessonsOverlap', { lesson: lesson.no, previous: latest.no, time: shownTime(latest.end) });
    }
    if (lesson.end > latest.end) latest = lesson;
  }
  return problems;
}

export type DraftResult = { ok: true; timetable: TimeTable } | { ok: false; errors: FieldErrors };

/**
 * The record to send, or every problem found, keyed by field path. `otherNames` are the names of
 * the other timetables: two timetables of one name could not be told apart in any list.
 */
export function fromDraft(draft: TimetableDraft, otherNames: string[] = []): DraftResult {
  const errors: FieldErrors = {};
  const name = draft.name.trim();
  const nameProblem = checkTimetableName(name, otherNames);
  if (nameProblem) errors.name = nameProblem;
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
        if (seen.has(time.value)) errors[`customPlays.${i}.slots.${j}`] = t('timetableForm.timeTwice', { time: shownTime(secondsOf(time.value) ?? 0) });
        seen.add(time.value);
        return time.value;
      });
      return { desc, slots };
    }),
  };
  return Object.keys(errors).length ? { ok: false, errors } : { ok: true, timetable };
}

/** Why a timetable cannot have this name, or null when it can. */
export function checkTimetableName(name: string, otherNames: string[]): string | null {
  const trimmed = name.trim();
  if (trimmed === '') return t('timetableForm.giveName');
  const folded = trimmed.toLocaleLowerCase();
  if (otherNames.some((other) => other.trim().toLocaleLowerCase() === folded)) return t('timetableForm.nameTaken', { name: trimmed });
  return null;
}

/** Seconds of the day of a time text, or null when it does not read. */
export function secondsOf(text: string): number | null {
  const parsed = parseTime(text);
  return parsed.ok ? timeToSeconds(parsed.value) : null;
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

/** Length in minutes of the lesson that ends last, or null when no lesson reads. */
export function lastLessonMinutes(lessons: LessonDraft[]): number | null {
  const last = lastLesson(lessons);
  return last ? Math.round((last.end - last.start) / 60) : null;
}

function lastLesson(lessons: LessonDraft[]): { start: number; end: number } | null {
  let last: { start: number; end: number } | null = null;
  for (const lesson of lessons) {
    const start = secondsOf(lesson.start);
    const end = secondsOf(lesson.end);
    if (start !== null && end !== null && end > start && (last === null || end > last.end)) last = { start, end };
  }
  return last;
}

export const DEFAULT_LESSON_MINUTES = 45;
export const DEFAULT_BREAK_MINUTES = 10;

/**
 * The lesson after the one that ends last: `pause` minutes after its end and `length` minutes
 * long (by default as long as that lesson, 45 minutes when there is none; the first lesson starts
 * at 08:00). Null when it would not end before midnight: a lesson cannot run into the next day.
 */
export function nextLesson(lessons: LessonDraft[], { length, pause = DEFAULT_BREAK_MINUTES }: { length?: number; pause?: number } = {}): LessonDraft | null {
  const last = lastLesson(lessons);
  const minutes = length ?? (last ? Math.round((last.end - last.start) / 60) : DEFAULT_LESSON_MINUTES);
  const start = last ? last.end + pause * 60 : 8 * 3600;
  const end = start + minutes * 60;
  if (minutes <= 0 || end > 24 * 3600 - 1) return null;
  return { key: newKey(), start: formatTime(secondsToTime(start)), end: formatTime(secondsToTime(end)) };
}

export const SIGNAL_LABELS: Record<SignalField, MessageKey> = {
  preStart: 'timetableForm.warningBeforeStart',
  startOfClass: 'timetableForm.startOfLesson',
  preEnd: 'timetableForm.warningBeforeEnd',
  endOfClass: 'timetableForm.endOfLesson',
};
