// Every call the interface makes to the server. A refusal becomes an ApiError whose message is
// the server's own text in the active language, so the page that made the call can show it where
// the user acted; `text` keeps what the server sent.
import { PRODUCT_NAME, t } from '../i18n';
import { explainServerText } from '../i18n/serverTexts';
import type {
  AlertKind,
  BellsSwitched,
  CalendarInfo,
  ChangeLogEntry,
  ClockHealth,
  Database,
  Days,
  Info,
  Month,
  NextBell,
  Overview,
  PlayLogEntry,
  ProgrammeInfo,
  PlannedQuiet,
  QuietToday,
  SignalRow,
  Settings,
  Status,
  TimeTable,
  TimeTableRow,
  TodayBell,
} from './types';

export class ApiError extends Error {
  constructor(
    readonly status: number,
    readonly text: string,
    /** The interface's own words for a failure that is not the server's. */
    message: string = describeFailure(status, text),
  ) {
    super(message);
    this.name = 'ApiError';
  }
}

/**
 * Whether a failure is the server's refusal for want of a login (the session expired, or the
 * password was set from another browser). The one place that knows how the server says so.
 */
export function isLoginLost(error: unknown): boolean {
  return error instanceof ApiError && error.status === 400 && error.text === 'No auth';
}

/** The message shown to the user for a refused request. */
export function describeFailure(status: number, text: string): string {
  const body = text.trim();
  if (status === 400 || status === 403 || status === 409 || status === 429) return body ? explainServerText(body) : t('api.refused');
  if (status === 0) return t('api.unreachable', { product: PRODUCT_NAME });
  if (status < 0) return body;
  if (status === 413) return body && !/^payload too large$/i.test(body) ? explainServerText(body) : t('api.tooLarge');
  return body && !body.startsWith('<') ? t('api.answeredWith', { status, text: explainServerText(body) }) : t('api.answered', { status });
}

type AuthLostListener = () => void;
let authLost: AuthLostListener = () => {};

/** Called whenever the server says the session is not logged in. */
export function onAuthLost(listener: AuthLostListener): void {
  authLost = listener;
}

export type Query = Record<string, string | number | boolean | null | undefined>;

export function withQuery(path: string, query?: Query): string {
  if (!query) return path;
  const params = new URLSearchParams();
  for (const [key, value] of Object.entries(query)) {
    if (value !== undefined && value !== null) params.set(key, String(value));
  }
  const text = params.toString();
  return text ? `${path}?${text}` : path;
}

const segment = (id: string): string => encodeURIComponent(id);

/** The error for a refused request; a refusal for want of a login is also reported as such. */
function refusal(status: number, text: string): ApiError {
  const error = new ApiError(status, text);
  if (isLoginLost(error)) authLost();
  return error;
}

async function failure(response: Response): Promise<ApiError> {
  let text = '';
  try {
    text = await response.text();
  } catch {
    // The body is lost; the status alone has to tell.
  }
  return refusal(response.status, text);
}

async function send(path: string, init?: RequestInit): Promise<Response> {
  let response: Response;
  try {
    response = await fetch(path, { credentials: 'same-origin', ...init });
  } catch {
    throw new ApiError(0, '');
  }
  if (!response.ok) throw await failure(response);
  return response;
}

async function getJson<T>(path: string): Promise<T> {
  const response = await send(path);
  return (await response.json()) as T;
}

const jsonPost = (body: unknown): RequestInit => ({
  method: 'POST',
  headers: { 'Content-Type': 'application/json' },
  body: JSON.stringify(body),
});

async function postJson<T>(path: string, body: unknown): Promise<T> {
  const response = await send(path, jsonPost(body));
  return (await response.json()) as T;
}

export const api = {
  status: () => getJson<Status>('/api/get/status'),
  overview: () => getJson<Overview>('/api/get/overview'),
  info: () => getJson<Info>('/api/get/info'),
  signals: () => getJson<SignalRow[]>('/api/get/signals'),
  programmeInfo: () => getJson<ProgrammeInfo>('/api/get/programmeInfo'),
  settings: () => getJson<Settings>('/api/get/settings'),
  calendarInfo: () => getJson<CalendarInfo>('/api/get/calendarInfo'),
  calendarDays: (offset: number) => getJson<Month>(withQuery('/api/get/calendarDays', { offset })),
  /** `count` days (1 to 42) from `from` ("YYYY-MM-DD"; the server's today when none is given). */
  days: (count: number, from?: string) => getJson<Days>(withQuery('/api/get/days', { from, count })),
  /** What the server warned about when it started (a database it could not use, for one). */
  startupWarnings: () => getJson<string[]>('/api/get/startupWarnings'),
  playing: () => getJson<{ isPlaying: boolean; alarmActive: boolean }>('/api/get/playing'),
  /** The play log of a day ("YYYY-MM-DD"), today when none is given. */
  playLog: (date?: string) => getJson<PlayLogEntry[]>(withQuery('/api/get/playLog', { date })),
  nextBell: () => getJson<NextBell | null>('/api/get/nextBell'),
  todayBells: () => getJson<TodayBell[]>('/api/get/todayBells'),
  clockHealth: () => getJson<ClockHealth>('/api/get/clockHealth'),
  quietToday: () => getJson<QuietToday>('/api/get/quietToday'),
  quietPlanned: () => getJson<PlannedQuiet[]>('/api/get/quietPlanned'),
  /** The changes made on a day ("YYYY-MM-DD"), oldest first. */
  changeLog: (date: string) => getJson<ChangeLogEntry[]>(withQuery('/api/get/changeLog', { date })),
  /** The last switch of the bells, null when none is known. */
  bellsSwitched: () => getJson<BellsSwitched | null>('/api/get/bellsSwitched'),
  /** The token the school's monitoring reads "/metrics" with. */
  metricsToken: async () => (await getJson<{ token: string }>('/api/get/metricsToken')).token,
  /** Sends a test alert to an address that need not be saved yet; a target that did not answer is a refusal. */
  async sendTestAlert(kind: AlertKind, url: string): Promise<void> {
    await send(withQuery('/api/trigger/sendTestAlert/0', { kind, url }));
  },
  timetables: () => getJson<TimeTableRow[]>('/db/timetables'),
  db: () => getJson<Database>('/db'),

  /** Runs a named action; ids that the action does not use are sent as "0". */
  async trigger(target: string, id = '0', query?: Query): Promise<void> {
    await send(withQuery(`/api/trigger/${segment(target)}/${segment(id)}`, query));
  },

  createTimetable: (timetable: TimeTable) => postJson<string>('/db/timetables/create', timetable),
  updateTimetable: (id: string, timetable: TimeTable) =>
    postJson<boolean>(`/db/timetables/update/${segment(id)}`, timetable),
  /** Member names are dotted paths into the settings, e.g. "calendar.workdayMode". */
  updateSettings: (changes: Record<string, unknown>) => postJson<boolean>('/db/settings/update', changes),

  async login(password: string): Promise<void> {
    // Success is a redirect to the start page, which fetch follows. The session lasts as long as
    // the browser keeps it; `remember` asks for nothing more.
    await send('/auth/login', jsonPost({ userPassword: password, remember: false }));
  },

  async logout(): Promise<void> {
    await send('/auth/logout');
  },

  /** `setupCode`: needed only for the first password, set from another computer than the server's. */
  async changePassword(password: string, setupCode?: string): Promise<void> {
    const init = jsonPost(password);
    if (setupCode) init.headers = { ...(init.headers as Record<string, string>), 'X-Setup-Code': setupCode };
    await send('/auth/chpasswd', init);
  },

  /** Whether a password is set and, while none is, whether this browser needs the set-up code. */
  setup: () => getJson<{ passwordSet: boolean; setupCodeNeeded: boolean }>('/auth/setup'),

  signalFileUrl: (id: string) => `/get_signal_file/${segment(id)}`,

  /** The backup archive and the file name the server gives it. */
  async backup(): Promise<{ blob: Blob; fileName: string }> {
    const response = await send('/backup');
    const disposition = response.headers.get('Content-Disposition') ?? '';
    const fileName = /filename="([^"]+)"/.exec(disposition)?.[1] ?? 'tollwick-backup.zip';
    return { blob: await response.blob(), fileName };
  },

  /** Replaces the installation's documents and sound files by those of a backup archive. */
  async restore(archive: File): Promise<void> {
    const form = new FormData();
    form.append('file', archive, archive.name);
    await send('/restore', { method: 'POST', body: form });
  },
};

export interface UploadFields {
  /** A signal's name; the file's name when blank. */
  signalName?: string;
  programName?: string;
  date?: string;
  time?: string;
}

/**
 * Sends one file to "/upload" and reports the bytes sent so far. Answers the new key
 * (the signal's, or the programme's for a programme song).
 */
export function uploadFile(
  file: File,
  fields: UploadFields,
  onProgress: (sent: number, total: number) => void,
): { done: Promise<string>; abort: () => void } {
  const xhr = new XMLHttpRequest();
  const form = new FormData();
  for (const [name, value] of Object.entries(fields)) if (value !== undefined) form.append(name, value);
  form.append('file', file, file.name);
  const done = new Promise<string>((resolve, reject) => {
    xhr.upload.addEventListener('progress', (event) => {
      if (event.lengthComputable) onProgress(event.loaded, event.total);
    });
    xhr.addEventListener('load', () => {
      if (xhr.status >= 200 && xhr.status < 300) {
        try {
          resolve(JSON.parse(xhr.responseText) as string);
        } catch {
          reject(new ApiError(xhr.status, xhr.responseText, t('api.answeredWith', { status: xhr.status, text: t('api.notJson') })));
        }
        return;
      }
      reject(refusal(xhr.status, xhr.responseText));
    });
    xhr.addEventListener('error', () => reject(new ApiError(0, '')));
    xhr.addEventListener('abort', () => reject(new ApiError(-1, '', t('api.uploadCancelled'))));
  });
  xhr.open('POST', '/upload');
  xhr.send(form);
  return { done, abort: () => xhr.abort() };
}
