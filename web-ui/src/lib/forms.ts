// Checks of the smaller forms, run before anything is sent. Each answers either the values to
// send or the problems keyed by field name, so the form can show each next to its input.
import { NULL_ID } from '../api/types';
import { intlLocale, t } from '../i18n';
import { timetableName } from '../i18n/factoryNames';
import { parseLocalDate } from '../i18n/format';
import { matchServerText } from '../i18n/serverTexts';
import { compareDates, compareTimes, formatDate, normaliseTime, parseDate } from './time';

export type FormResult<T> = { ok: true; value: T } | { ok: false; errors: Record<string, string> };

function result<T>(errors: Record<string, string>, value: () => T): FormResult<T> {
  return Object.keys(errors).length ? { ok: false, errors } : { ok: true, value: value() };
}

export const MAX_UPLOAD_BYTES = 100 * 1024 * 1024;
/** The formats whose playing time the server can measure and whose sound it can play. */
export const UPLOAD_EXTENSIONS = ['wav', 'mp3'];

/** The lower-cased extension of a file name, empty when it has none. */
export function extensionOf(fileName: string): string {
  const dot = fileName.lastIndexOf('.');
  return dot > 0 && dot < fileName.length - 1 ? fileName.slice(dot + 1).toLowerCase() : '';
}

/** Why a file cannot be uploaded, or null when it can. */
export function checkUploadFile(file: { name: string; size: number } | null | undefined): string | null {
  if (!file) return t('forms.chooseFile');
  const ext = extensionOf(file.name);
  if (!UPLOAD_EXTENSIONS.includes(ext)) return ext ? t('forms.badExtension', { extension: ext }) : t('forms.noExtension');
  if (file.size === 0) return t('forms.fileEmpty');
  if (file.size > MAX_UPLOAD_BYTES) return t('forms.fileTooLarge', { size: formatBytes(file.size), limit: formatBytes(MAX_UPLOAD_BYTES) });
  return null;
}

/** "512 B", "1.5 KiB", "100.0 MiB", with the language's decimal sign. */
export function formatBytes(bytes: number): string {
  const tenths = (n: number) => new Intl.NumberFormat(intlLocale(), { minimumFractionDigits: 1, maximumFractionDigits: 1, useGrouping: false }).format(n);
  if (bytes < 1024) return t('forms.bytes', { size: bytes });
  if (bytes < 1024 * 1024) return t('forms.kibibytes', { size: tenths(bytes / 1024) });
  return t('forms.mebibytes', { size: tenths(bytes / (1024 * 1024)) });
}

/** The server's refusal of an upload in the active language, with what it means for the known ones. */
export function explainUploadRefusal(text: string): string {
  const known = matchServerText(text);
  if (!known) return text;
  const server = t(known.key, known.values);
  if (known.key === 'server.badFormat') return t('forms.onlyWavAndMp3', { server });
  if (known.key === 'server.alreadyUploaded') return t('forms.alreadyASignal', { server });
  if (known.key === 'server.notPlayable') return t('forms.noSoundFound', { server });
  return server;
}

/** The most bytes the server keeps of a name that people give (a signal, an event, a quiet period). */
export const MAX_NAME_BYTES = 200;

/** Whether the server would refuse a name as too long. */
export const nameTooLong = (name: string): boolean => new TextEncoder().encode(name.trim()).length > MAX_NAME_BYTES;

export type SingleEventInput = {
  timetableId: string;
  startDate: string;
  endDate: string;
  /** The event's own name; may be empty. */
  name: string;
};

export function checkSingleEvent(input: SingleEventInput): FormResult<SingleEventInput> {
  const errors: Record<string, string> = {};
  if (!input.timetableId) errors.timetableId = t('forms.chooseTimetable');
  const start = parseLocalDate(input.startDate);
  const end = parseLocalDate(input.endDate);
  if (!start.ok) errors.startDate = start.error;
  if (!end.ok) errors.endDate = end.error;
  if (start.ok && end.ok && compareDates(start.value, end.value) > 0) errors.endDate = t('forms.lastDayBeforeFirst');
  if (nameTooLong(input.name)) errors.name = t('forms.nameTooLong');
  if (!start.ok || !end.ok || Object.keys(errors).length) return { ok: false, errors };
  return { ok: true, value: { timetableId: input.timetableId, startDate: formatDate(start.value), endDate: formatDate(end.value), name: input.name.trim() } };
}

export type RecurringEventInput = {
  timetableId: string;
  mode: number;
  days: number;
  name: string;
};

export function checkRecurringEvent(input: RecurringEventInput): FormResult<RecurringEventInput> {
  const errors: Record<string, string> = {};
  if (!input.timetableId) errors.timetableId = t('forms.chooseTimetable');
  if (![1, 2, 3].includes(input.mode)) errors.mode = t('forms.chooseWeeks');
  if (!Number.isInteger(input.days) || input.days <= 0 || input.days > 127) errors.days = t('forms.chooseWeekday');
  if (nameTooLong(input.name)) errors.name = t('forms.nameTooLong');
  return result(errors, () => ({ ...input, name: input.name.trim() }));
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
  if (!name) errors.name = t('forms.giveAName');
  const date = parseLocalDate(input.date);
  const time = normaliseTime(input.time);
  if (!date.ok) errors.date = date.error;
  if (!time.ok) errors.time = time.error;
  const todayDate = parseDate(today);
  if (date.ok && todayDate.ok) {
    const order = compareDates(date.value, todayDate.value);
    if (order < 0) errors.date = t('forms.dayPassed');
    else if (order === 0 && time.ok && normaliseTime(now).ok && compareTimes(time.value, now) <= 0)
      errors.time = t('forms.timePassed');
  }
  if (!date.ok || !time.ok || Object.keys(errors).length) return { ok: false, errors };
  return { ok: true, value: { name, date: formatDate(date.value), time: time.value } };
}

export const MIN_PASSWORD_LENGTH = 4;

export function checkNewPassword(password: string, repeat: string): FormResult<string> {
  const errors: Record<string, string> = {};
  if (password.length < MIN_PASSWORD_LENGTH) errors.password = t('forms.passwordTooShort', { count: MIN_PASSWORD_LENGTH });
  else if (password.trim() !== password) errors.password = t('forms.passwordSpaces');
  if (!errors.password && password !== repeat) errors.repeat = t('forms.passwordsDiffer');
  return result(errors, () => password);
}

/** An announcement code as the online service names them: letters, digits, "-" and "_". */
export function checkAnnouncementCode(code: string): string | null {
  const trimmed = code.trim();
  if (!trimmed) return t('forms.enterCode');
  if (!/^[A-Za-z0-9_-]+$/.test(trimmed)) return t('forms.codeCharacters');
  return null;
}

/** Shown for a timetable id: its name, "No bells" for none, or a note that it is gone. */
export function timetableLabel(id: string | null | undefined, timetables: { id: string; name: string }[]): string {
  if (id === null || id === undefined) return '—';
  if (id === NULL_ID) return t('forms.noBells');
  const timetable = timetables.find((candidate) => candidate.id === id);
  return timetable ? timetableName(timetable.id, timetable.name) : t('forms.deletedTimetable');
}
