// The server's own messages, as it sends them when it refuses a request, each with the catalogue
// key of its translation. The server's texts stay as they are; the interface shows its own words
// for each one it knows here, and the server's text as it stands for any other.
import { PRODUCT_NAME, t, type MessageKey, type Values } from './index';

type ServerText =
  /** The whole text, exactly. */
  | { text: string; key: MessageKey }
  /** A fixed beginning; what follows it is the message's {rest}, itself explained when `explainRest`. */
  | { start: string; key: MessageKey; explainRest?: boolean }
  /** A text with values inside; the named groups are the message's placeholders. */
  | { pattern: RegExp; key: MessageKey };

const SET_UP_CODE_NEEDED =
  'To set the first password from another computer, enter the set-up code. It is in the log of Tollwick Player and in the file setup-code of its data folder, on the computer that runs it.';

const SERVER_TEXTS: ServerText[] = [
  // Logging in and the password
  { text: 'No auth', key: 'server.noAuth' },
  { text: 'Login failed', key: 'server.loginFailed' },
  { pattern: /^Too many failed logins from this address; try again in (?<seconds>\d+) seconds$/, key: 'server.tooManyLogins' },
  { text: SET_UP_CODE_NEEDED, key: 'server.setUpCodeNeeded' },
  { text: `This set-up code is not the right one. ${SET_UP_CODE_NEEDED}`, key: 'server.setUpCodeWrong' },
  { start: 'Refused: the request was started by another site', key: 'server.otherSite' },
  // Timetables, calendar events and what was deleted meanwhile
  { text: 'Invalid timetable', key: 'server.invalidTimetable' },
  { text: 'ID not found', key: 'server.timetableGone' },
  { text: 'list index out of range', key: 'server.eventGone' },
  { start: 'Key not found: ', key: 'server.keyNotFound' },
  { text: 'Key already exists', key: 'server.keyExists' },
  { pattern: /^Invalid date: '(?<text>.*)' \(expected yyyy-mm-dd\)$/, key: 'server.invalidDate' },
  { pattern: /^Invalid time: '(?<text>.*)' \(expected HH:MM\)$/, key: 'server.invalidTime' },
  { text: 'No more bells ring today', key: 'server.noMoreBells' },
  // Sound files and announcements
  { text: 'No file part', key: 'server.noFile' },
  { start: 'Bad format: ', key: 'server.badFormat' },
  { text: 'File is already uploaded', key: 'server.alreadyUploaded' },
  { text: 'This file is not a playable MP3 or WAV', key: 'server.notPlayable' },
  { text: 'The file is larger than 100 MiB', key: 'server.fileTooLarge' },
  { start: 'The request body is larger than ', key: 'server.bodyTooLarge' },
  { text: 'The upload did not arrive in time', key: 'server.uploadTooSlow' },
  { text: 'The upload is not a well-formed multipart form', key: 'server.uploadBroken' },
  { text: 'Failed to download announcement', key: 'server.announcementFailed' },
  { pattern: /^Invalid id '(?<id>.*)': only letters, digits, "-" and "_" are allowed$/, key: 'server.invalidCode' },
  { text: 'Too many sounds are playing at once. Stop some, or wait until they end.', key: 'server.tooManySounds' },
  // Backups
  { start: 'The file is not a zip archive that can be read: ', key: 'server.notAnArchive' },
  { start: 'The archive holds no database', key: 'server.archiveWithoutDatabase' },
  { text: 'The database in the archive is of a version this program cannot read', key: 'server.archiveTooNew' },
  { start: 'The backup could not be restored, and everything stays as it was: ', key: 'server.restoreFailed', explainRest: true },
  // Why a play failed or was skipped, as the play log keeps it
  { text: 'The quiet period must end after it begins', key: 'playLog.quietEndsBeforeStart' },
  { text: 'That time is already over today', key: 'server.quietAlreadyOver' },
  { text: 'That time is already over', key: 'server.plannedAlreadyOver' },
  { pattern: /^There are already (?<count>\d+) quiet periods planned, the most that can be kept\. Delete some to plan new ones\.$/, key: 'server.tooManyPlanned' },
  { pattern: /^Today already has (?<count>\d+) quiet periods, the most a day can hold\. Clear them to set new ones\.$/, key: 'server.tooManyQuietPeriods' },
  { pattern: /^Today already has (?<count>\d+) skipped bells, the most a day can hold\. Clear them to skip others\.$/, key: 'server.tooManySkippedBells' },
  { pattern: /^The month offset -?\d+ (is out of range|leads outside the years 1 to 9999)$/, key: 'server.monthOutOfRange' },
  { pattern: /^There are more than (?<count>\d+) sound files, more than a backup holds: delete some, then make the backup$/, key: 'server.backupTooManyFiles' },
  { pattern: /^The sound file "(?<file>.*)" of "(?<name>.*)" is missing: delete that song or upload it again, then make the backup$/, key: 'server.backupFileMissing' },
  // Why a backup could not be restored: they follow the restore's own text.
  { pattern: /^The archive unpacks to more than (?<size>.+)$/, key: 'server.archiveTooLarge' },
  { pattern: /^The archive's entry "(?<name>.*)" unpacks to more than (?<size>.+)$/, key: 'server.archiveEntryTooLarge' },
  { pattern: /^The archive's entry "(?<name>.*)" is damaged: /, key: 'server.archiveEntryDamaged' },
  { pattern: /^The archive's entry "(?<name>.*)" (points outside the data directory|is not a file of the data directory)$/, key: 'server.archiveForeignEntry' },
  { pattern: /^The archive holds "(?<name>.*)" twice$/, key: 'server.archiveEntryTwice' },
  { pattern: /^This backup holds more than (?<count>\d+) files; it was not made by Tollwick Player$/, key: 'server.backupTooManyEntries' },
  { pattern: /^This backup names the file "(?<file>.*)" for the sound "(?<name>.*)"; it was not made by Tollwick Player$/, key: 'server.backupOddFileName' },
  { pattern: /^The archive lacks the sound file "(?<file>.*)" of "(?<name>.*)"$/, key: 'server.archiveLacksFile' },
  { text: 'quiet period', key: 'playLog.quietPeriod' },
  { text: 'bells off', key: 'playLog.bellsWereOff' },
  { start: 'File does not exist: ', key: 'server.fileMissing' },
  { start: 'Failed to play the file: ', key: 'server.playFailed' },
  { start: 'No playing thread could be started: ', key: 'server.playerNotStarted' },
  // The warnings of the start, when the saved data could not be used
  {
    pattern: /^The database (?<file>.+) could not be read \((?<reason>.*)\); it was kept as (?<aside>.+) and the factory configuration is in use\.$/,
    key: 'server.databaseUnreadable',
  },
  {
    pattern: /^The database (?<file>.+) has a version this program does not know; it was kept as (?<aside>.+) and the factory configuration is in use\.$/,
    key: 'server.databaseTooNew',
  },
  // The school's name and the alert addresses
  { pattern: /^Invalid value for "schoolName": longer than (?<count>\d+) characters$/, key: 'settings.schoolNameTooLong' },
  { text: 'Invalid value for "schoolName": it holds a control character', key: 'settings.schoolNameBadCharacter' },
  { pattern: /^Invalid value for "alertTargets": more than (?<count>\d+) targets$/, key: 'alerts.full' },
  { pattern: /^Invalid value for "alertTargets\.\d+\.url": not an http:\/\/ or https:\/\/ address$/, key: 'alerts.refusedAddress' },
  { pattern: /^Invalid value for "alertTargets\.\d+\.events": "(?<event>.*)" is not an event$/, key: 'alerts.refusedEvent' },
  // The server itself
  { text: 'The server is busy; try again in a moment', key: 'server.busy' },
  { text: 'Internal Server Error', key: 'server.internalError' },
];

// In the play log, a key not found is the signal that was to play: it was deleted.
const PLAY_LOG_TEXTS: ServerText[] = [{ start: 'Key not found: ', key: 'server.signalGone' }];

function matchIn(entries: ServerText[], text: string): { key: MessageKey; values: Values } | null {
  for (const entry of entries) {
    if ('text' in entry && text === entry.text) return { key: entry.key, values: {} };
    if ('start' in entry && text.startsWith(entry.start)) {
      const rest = text.slice(entry.start.length);
      return { key: entry.key, values: { rest: entry.explainRest ? explainIn(entries, rest) : rest } };
    }
    if ('pattern' in entry) {
      const found = entry.pattern.exec(text);
      if (found) return { key: entry.key, values: { ...found.groups } };
    }
  }
  return null;
}

function explainIn(entries: ServerText[], text: string): string {
  const found = matchIn(entries, text);
  return found ? t(found.key, { product: PRODUCT_NAME, ...found.values }) : text;
}

/** The catalogue key of a server text and the values of its placeholders; null for a text not known here. */
export function matchServerText(text: string): { key: MessageKey; values: Values } | null {
  return matchIn(SERVER_TEXTS, text);
}

/** A server text in the active language; the text as the server sent it when it is not known here. */
export function explainServerText(text: string): string {
  return explainIn(SERVER_TEXTS, text);
}

/** Why a play failed or was skipped, as the play log gives it, in the active language. */
export function explainPlayDetail(text: string): string {
  return matchIn(PLAY_LOG_TEXTS, text) ? explainIn(PLAY_LOG_TEXTS, text) : explainIn(SERVER_TEXTS, text);
}
