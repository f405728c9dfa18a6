// Checks of the smaller forms, run before anything is sent. Each answers either the values to
// send or the problems keyed by field name, so the form can show each next to its input.
import { NULL_ID } from '../api/types';
import { compareDates, compareTimes, formatDate, normaliseTime, parseDate } from './time';

export type FormResult<T> = { ok: true; value: T } | { ok: false; errors: Record<string, string> };

function result<T>(errors: Record<string, string>, value: () => T): FormResult<T> {
  return Object.keys(errors).length ? { ok: false, errors } : { ok: true, value: value() };
}

export const MAX_UPLOAD_BYTES = 100 * 1024 * 1024;
export const UPLOAD_EXTENSIONS = ['wav', 'mp3', 'mp4'];

/** The lower-cased extension of a file name, empty when it has none. */
export function extensionOf(fileName: string): string {
  const dot = fileName.lastIndexOf('.');
  return dot > 0 && dot < fileName.length - 1 ? fileName.slice(dot + 1).toLowerCase() : '';
}

/** Why a file cannot be uploaded, or null when it can. */
export function checkUploadFile(file: { name: string; size: number } | null | undefined): string | null {
  if (!file) return 'Choose a file';
  const ext = extensionOf(file.name);
  if (!UPLOAD_EXTENSIONS.includes(ext)) {
    const shown = ext ? `“.${ext}” files` : 'Files without an extension';
    return `Bad format: ${shown} cannot be played. Choose a WAV, MP3 or MP4 file.`;
  }
  if (file.size === 0) return 'The file is empty';
  if (file.size > MAX_UPLOAD_BYTES) {
    return `The file is too large: ${formatBytes(file.size)}. Files of up to ${formatBytes(MAX_UPLOAD_BYTES)} can be uploaded.`;
  }
  return null;
}

export function formatBytes(bytes: number): string {
  if (bytes < 1024) return `${bytes} B`;
  if (bytes < 1024 * 1024) return `${(bytes / 1024).toFixed(1)} KiB`;
  return `${(bytes / (1024 * 1024)).toFixed(1)} MiB`;
}

/** Friendly words for the server's known refusals of an upload; the server's text stays first. */
export function explainUploadRefusal(text: string): string {
  if (text.startsWith('Bad format')) return `${text} — only WAV, MP3 and MP4 files are accepted.`;
  if (text === 'File is already uploaded') return `${text}: the same sound is already among the signals.`;
  return text;
}

export type SingleEventInput = {
  timetableId: string;
  startDate: string;
  endDate: string;
};

export function checkSingleEvent(input: SingleEventInput): FormResult<SingleEventInput> {
  const errors: Record<string, string> = {};
  if (!input.timetableId) errors.timetableId = 'Choose a timetable';
  const start = parseDate(input.startDate);
  const end = parseDate(input.endDate);
  if (!start.ok) errors.startDate = start.error;
  if (!end.ok) errors.endDate = end.error;
  if (start.ok && end.ok && compareDates(start.value, end.value) > 0) errors.endDate = 'The last day cannot be before the first';
  if (!start.ok || !end.ok || Object.keys(errors).length) return { ok: false, errors };
  return { ok: true, value: { timetableId: input.timetableId, startDate: formatDate(start.value), endDate: formatDate(end.value) } };
}

export type RecurringEventInput = {
  timetableId: string;
  mode: number;
  days: number;
};

export function checkRecurringEvent(input: RecurringEventInput): FormResult<RecurringEventInput> {
  const errors: Record<string, string> = {};
  if (!input.timetableId) errors.timetableId = 'Choose a timetable';
  if (![1, 2, 3].includes(input.mode)) errors.mode = 'Choose which weeks';
  if (!Number.isInteger(input.days) || input.days <= 0 || input.days > 127) errors.days = 'Choose at least one weekday';
  return result(errors, () => ({ ...input }));
}

export interface ScheduleInput {
  name: string;
  date: string;
  time: string;
}

/**
 * A name, date and time for a one-off play. `today` and `now` are the server's date and time;
 * a moment that has already passed would never play.
 */
export function checkSchedule(input: ScheduleInput, today: string, now: string): FormResult<ScheduleInput> {
  const errors: Record<string, string> = {};
  const name = input.name.trim();
  if (!name) errors.name = 'Give it a name';
  const date = parseDate(input.date);
  const time = normaliseTime(input.time);
  if (!date.ok) errors.date = date.error;
  if (!time.ok) errors.time = time.error;
  const todayDate = parseDate(today);
  if (date.ok && todayDate.ok) {
    const order = compareDates(date.value, todayDate.value);
    if (order < 0) errors.date = 'This day has already passed';
    else if (order === 0 && time.ok && normaliseTime(now).ok && compareTimes(time.value, now) <= 0)
      errors.time = 'This time has already passed today';
  }
  if (!date.ok || !time.ok || Object.keys(errors).length) return { ok: false, errors };
  return { ok: true, value: { name, date: formatDate(date.value), time: time.value } };
}

export const MIN_PASSWORD_LENGTH = 4;

export function checkNewPassword(password: string, repeat: string): FormResult<string> {
  const errors: Record<string, string> = {};
  if (password.length < MIN_PASSWORD_LENGTH) errors.password = `Use at least ${MIN_PASSWORD_LENGTH} characters`;
  else if (password.trim() !== password) errors.password = 'The password cannot begin or end with a space';
  if (!errors.password && password !== repeat) errors.repeat = 'The two passwords differ';
  return result(errors, () => password);
}

/** An announcement code as the vendor service names them: letters, digits, "-" and "_". */
export function checkAnnouncementCode(code: string): string | null {
  const trimmed = code.trim();
  if (!trimmed) return 'Enter the announcement’s code';
  if (!/^[A-Za-z0-9_-]+$/.test(trimmed)) return 'The code has only letters, digits, “-” and “_”';
  return null;
}

/** Shown for a timetable id: its name, "No bells" for none, or a note that it is gone. */
export function timetableLabel(id: string | null | undefined, timetables: { id: string; name: string }[]): string {
  if (id === null || id === undefined) return '—';
  if (id === NULL_ID) return 'No bells';
  return timetables.find((t) => t.id === id)?.name ?? 'Deleted timetable';
}
