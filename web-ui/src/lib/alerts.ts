// How the interface words the alert targets, the test alert's answer, the change log's actions
// and the last switch of the bells.
import { ApiError } from '../api/client';
import type { AlertEvent, BellsSwitched } from '../api/types';
import { t, type MessageKey } from '../i18n';
import { clockTime, numericDate } from '../i18n/format';
import { errorText } from './hooks';
import { parseDate } from './time';

/** The plain name of each event a target can choose. */
export const EVENT_NAMES: Record<AlertEvent, MessageKey> = {
  bellFailed: 'alerts.eventBellFailed',
  alarm: 'alerts.eventAlarm',
  bells: 'alerts.eventBells',
  clock: 'alerts.eventClock',
  saveFailed: 'alerts.eventSaveFailed',
  diskLow: 'alerts.eventDiskLow',
  started: 'alerts.eventStarted',
};

/** The server's limits: bytes of an address, targets in the list, characters of the school's name. */
const MAX_URL_BYTES = 2000;
export const MAX_TARGETS = 10;
export const MAX_SCHOOL_NAME = 120;

/** Why `text` cannot be an alert target's address, or null when it can. */
export function checkAlertUrl(text: string): string | null {
  const url = text.trim();
  if (!url) return t('alerts.enterAddress');
  // As the server takes it: lower-case scheme, something after it, no space or control character.
  if (!/^https?:\/\/[^\s\u0000-\u001f\u007f]+$/.test(url)) return t('alerts.notAnAddress');
  if (new TextEncoder().encode(url).length > MAX_URL_BYTES) return t('alerts.addressTooLong');
  return null;
}

export interface TestAlertResult {
  ok: boolean;
  text: string;
  /** The server's own reason, as it gave it. */
  detail: string | null;
}

const NO_ANSWER = 'The alert target did not answer: '; // untranslated: the server's text, matched
const ANSWERED = /^The alert target answered (\d{3})\b/;

/** What became of a test alert: `error` is what the send threw, undefined when it went through. */
export function testAlertResult(error?: unknown): TestAlertResult {
  if (error === undefined) return { ok: true, text: t('alerts.testAnswered'), detail: null };
  if (error instanceof ApiError && error.status === 400) {
    const reason = error.text.trim();
    if (reason.startsWith(NO_ANSWER)) return { ok: false, text: t('alerts.testNoAnswer'), detail: reason.slice(NO_ANSWER.length) };
    const answered = ANSWERED.exec(reason);
    if (answered) return { ok: false, text: t('alerts.testRefused', { status: answered[1] }), detail: reason };
  }
  return { ok: false, text: errorText(error), detail: null };
}

/** Why `text` cannot be the school's name, or null when it can; it is to be trimmed first. */
export function checkSchoolName(text: string): string | null {
  if ([...text].length > MAX_SCHOOL_NAME) return t('settings.schoolNameTooLong', { count: MAX_SCHOOL_NAME });
  return /[\u0000-\u001f\u007f]/.test(text) ? t('settings.schoolNameBadCharacter') : null;
}

/** Each action of the change log in words; an action not listed here is shown as it is. */
const ACTIONS: Record<string, MessageKey> = {
  'auth.login': 'changes.login',
  'auth.login.failed': 'changes.loginFailed',
  'auth.login.locked': 'changes.loginLocked',
  'auth.logout': 'changes.logout',
  'auth.password.change': 'changes.passwordChange',
  'auth.password.set': 'changes.passwordSet',
  'settings.update': 'changes.settingsUpdate',
  'bells.off': 'changes.bellsOff',
  'bells.on': 'changes.bellsOn',
  'timetable.create': 'changes.timetableCreate',
  'timetable.update': 'changes.timetableUpdate',
  'timetable.delete': 'changes.timetableDelete',
  'event.create': 'changes.eventCreate',
  'event.delete': 'changes.eventDelete',
  'signal.upload': 'changes.signalUpload',
  'signal.delete': 'changes.signalDelete',
  'programme.create': 'changes.programmeCreate',
  'programme.delete': 'changes.programmeDelete',
  'backup.restore': 'changes.backupRestore',
  'alarm.on': 'changes.alarmOn',
  'alarm.off': 'changes.alarmOff',
  'quiet.mute': 'changes.quietMute',
  'quiet.skip': 'changes.quietSkip',
  'quiet.clear': 'changes.quietClear',
  'quiet.plan': 'changes.quietPlan',
  'quiet.unplan': 'changes.quietUnplan',
  'monitoring.token.new': 'changes.tokenNew',
};

export function actionLabel(action: string): string {
  return Object.hasOwn(ACTIONS, action) ? t(ACTIONS[action]) : action;
}

/**
 * "Switched off today at 09:14 from 192.168.1.20", with the date when it was not `today`; null
 * when the last switch known is not the one that switched the bells off.
 */
export function bellsSwitchedText(switched: BellsSwitched | null | undefined, today: string): string | null {
  if (!switched || switched.on) return null;
  const found = /^(\d{4}-\d\d-\d\d)T(\d\d):(\d\d)/.exec(switched.time);
  if (!found) return null;
  const time = clockTime(Number(found[2]), Number(found[3]));
  if (found[1] === today) return t('bellsOff.switchedToday', { time, client: switched.client });
  const date = parseDate(found[1]);
  return t('bellsOff.switchedOn', { date: date.ok ? numericDate(date.value) : found[1], time, client: switched.client });
}
