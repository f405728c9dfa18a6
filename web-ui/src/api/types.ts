// The JSON shapes the server sends and accepts.

export const NULL_ID = 'NULL';

export interface PlayDesc {
  id: string;
  doRepeat: boolean;
  iterations: number;
  delaySec: number;
}

export interface SignalTable {
  lessons: string[];
  startOfClass: PlayDesc;
  endOfClass: PlayDesc;
  preStartWaitMin: number;
  preStart: PlayDesc;
  preEndWaitMin: number;
  preEnd: PlayDesc;
}

export interface UserPlay {
  desc: PlayDesc;
  slots: string[];
}

export interface TimeTable {
  name: string;
  chA: SignalTable;
  chB: SignalTable;
  customPlays: UserPlay[];
}

export type TimeTableRow = TimeTable & { id: string };

export enum AssetCategory {
  BUILT_IN_SIGNAL = 0,
  USER_SIGNAL = 1,
  PROGRAMME = 2,
  PROGRAMMED_ANNOUNCEMENT = 3,
}

export interface AudioAsset {
  name: string;
  md5: string;
  filename: string;
  lengthSec: number;
  storageCategory: AssetCategory;
  lastModified: string;
}

export type SignalRow = AudioAsset & { id: string };

export interface Programme {
  songId: string;
  date: string;
  time: string;
  deleteAfterPlay: boolean;
}

export type ProgrammeRow = Programme & { id: string; programName: string; lengthSec: number };

export interface ProgrammeInfo {
  programmes: ProgrammeRow[];
  date: string;
}

export type DayKind = 'WORKDAY' | 'NON_WORKDAY' | 'HOLIDAY' | 'SCHOOL_BREAK' | 'REPLACED_WORKDAY';

export type TimetableSource = 'DISABLED' | 'NORMAL' | 'DAILY_OVERRIDE';

export interface TimetableInfo {
  id: string;
  source: TimetableSource;
  date: string;
  dayOfWeek: number;
  typeOfDay: DayKind;
  programmeToday: string | null;
}

export interface MonthDay {
  id: string;
  day: number;
  typeOfDay: DayKind;
  isToday: boolean;
  isGivenMonth: boolean;
}

export interface Month {
  year: number;
  month: number;
  defaultTimetableId: string;
  days: MonthDay[];
}

export interface NamedId {
  id: string;
  name: string;
}

export interface Overview {
  passwordMissing: boolean;
  timetables: NamedId[];
  activeTimetableInfo: TimetableInfo;
  time: string;
  isRelease: boolean;
  alarmActive: boolean;
  calendar: Month;
}

export interface Status {
  time: string;
  isPlaying: boolean;
  version: string;
}

export interface Info {
  version: string;
  internetAccess: boolean;
}

export interface SingleEvent {
  timeTableId: string;
  start: string;
  end: string;
  /** The user's own name for it; absent or empty for an event without one. */
  name?: string;
}

export interface RecurringEvent {
  timeTableId: string;
  mode: number;
  days: number;
  name?: string;
}

export interface CalendarRegion {
  id: string;
  name: string;
  preferredWorkdayMode: number;
  provideHolidays: boolean;
  validUntil: string;
  holidays: string[];
  schoolBreaks: string[];
  extraWorkdays: string[];
}

export interface CalendarInfo {
  timetables: NamedId[];
  regions: CalendarRegion[];
  lastUpdate: string;
  date: string;
  singleEvents: SingleEvent[];
  reoccurringEvents: RecurringEvent[];
  defaultTimetableId: string;
}

export interface CalendarSettings {
  workdayMode: number;
  syncRegionId: string;
  syncSchoolHolidays: boolean;
}

/** The calendar settings as the database stores them, with the events. */
export interface StoredCalendarSettings extends CalendarSettings {
  singleEvents: SingleEvent[];
  reoccurringEvents: RecurringEvent[];
}

export interface Settings {
  defaultTimetableId: string;
  schedulerEnable: boolean;
  dailyPreferences: { selectedTimetableId: string | null; _lastDay: number };
  alarmSignalId: string;
  alarmDelaySec: number;
  announcementSignalId: string;
  calendar: CalendarSettings;
  /** The interface's language for this school; older settings lack it (English). */
  language?: 'en' | 'hu' | 'de';
  /** Absent while it is empty. */
  schoolName?: string;
  /** Absent while there is none. */
  alertTargets?: AlertTarget[];
}

/** How an alert target takes its word: a chat's JSON webhook, or an ntfy topic. */
export type AlertKind = 'webhook' | 'ntfy';

/** What an alert target can be told about, by the names the settings keep. */
export const ALERT_EVENTS = ['bellFailed', 'alarm', 'bells', 'clock', 'saveFailed', 'diskLow', 'started'] as const;

export type AlertEvent = (typeof ALERT_EVENTS)[number];

export interface AlertTarget {
  kind: AlertKind;
  /** http:// or https:// */
  url: string;
  events: string[];
}

/** One change made to the installation ("/api/get/changeLog"), in the server's local time. */
export interface ChangeLogEntry {
  /** "2026-12-11T09:14:03" */
  time: string;
  /** The address it came from. */
  client: string;
  /** A short mark of the login it came with; null without one. */
  session: string | null;
  action: string;
  target: string | null;
  /** The server's own words, in English. */
  summary: string;
}

/** Who last switched the bells off or on, and when ("/api/get/bellsSwitched"). */
export interface BellsSwitched {
  on: boolean;
  time: string;
  client: string;
  session: string | null;
}

/** The whole database ("/db"): every record, in its stored form. */
export interface Database {
  dbVersion: number;
  settings: Omit<Settings, 'calendar'> & { calendar: StoredCalendarSettings };
  songs: Record<string, AudioAsset>;
  programmes: Record<string, Programme>;
  timetables: Record<string, TimeTable>;
}

/** What made a play. */
export type PlaySource = 'lessonStart' | 'lessonEnd' | 'preStart' | 'preEnd' | 'extraPlay' | 'programme' | 'alarm' | 'announcement' | 'manual';

export type PlayOutcome = 'played' | 'stopped' | 'failed' | 'skipped';

/** One entry of the play log ("/api/get/playLog"). */
export interface PlayLogEntry {
  /** The second it was due, local: "2024-09-02T08:00:00". */
  due: string;
  /** When its sound began, local, with milliseconds; null when it never began. */
  started: string | null;
  lateMs: number | null;
  source: PlaySource;
  lesson: number | null;
  songId: string;
  songName: string;
  outcome: PlayOutcome;
  /** Why it failed or was skipped. */
  detail: string;
}

/** The next bell still due today ("/api/get/nextBell"), or null. */
export interface NextBell {
  /** "HH:MM:SS". */
  at: string;
  inSec: number;
  source: PlaySource;
  lesson: number | null;
  songName: string;
}

/** What became of a bell of today: the log's outcome, or what is still to come. */
export type BellMark = PlayOutcome | 'coming' | 'quiet' | 'missed';

export interface TodayBell {
  at: string;
  source: PlaySource;
  lesson: number | null;
  songName: string;
  mark: BellMark;
  started: string | null;
  lateMs: number | null;
  detail: string;
  /** For a bell missed because nothing ran: when the system started today ("HH:MM:SS"). */
  systemStarted?: string | null;
}

export interface ClockHealth {
  /** null where the platform cannot tell. */
  synchronised: boolean | null;
  maxErrorMs: number | null;
  timezone: string | null;
  utcOffsetMin: number;
}

/** A quiet period planned for a date, as for an exam. */
export interface PlannedQuiet {
  id: string;
  /** "YYYY-MM-DD" */
  date: string;
  /** "HH:MM"; a bell at `to` rings. */
  from: string;
  to: string;
  /** What it is for; may be empty. */
  name: string;
  /** Programmes and booked announcements inside it are held too. */
  holdProgrammes: boolean;
}

export interface QuietToday {
  periods: { from: string; to: string }[];
  /** "HH:MM:SS" of each bell skipped today, still to come. */
  skippedBells: string[];
  /** Today's planned periods, not yet over. */
  planned: PlannedQuiet[];
}

/** Why a day rings by its timetable, or rings nothing. */
export type DayReason = 'DEFAULT' | 'NO_SCHOOL' | 'SINGLE_EVENT' | 'RECURRING_EVENT' | 'DAILY_OVERRIDE';

/** The calendar event that decides a day; `index` is its place in the calendar's list of its kind. */
export type DayEvent =
  | { kind: 'single'; index: number; name: string; start: string; end: string }
  | { kind: 'recurring'; index: number; name: string; mode: number; days: number };

/** A bell that would ring on a day: only signals with a sound. */
export interface PlannedBell {
  /** "HH:MM:SS" */
  at: string;
  source: PlaySource;
  lesson: number | null;
  songName: string;
}

/** One day as the calendar, the timetables and the plans make it ("/api/get/days"). */
export interface DayPlan {
  date: string;
  /** 0 = Monday */
  dayOfWeek: number;
  isToday: boolean;
  typeOfDay: DayKind;
  /** "NULL" when no timetable rings. */
  timetableId: string;
  reason: DayReason;
  event: DayEvent | null;
  /** In time order. */
  bells: PlannedBell[];
  programmes: { at: string; name: string }[];
  quiet: PlannedQuiet[];
}

export interface Days {
  /** False while every bell is switched off. */
  bellsOn: boolean;
  today: string;
  days: DayPlan[];
}
