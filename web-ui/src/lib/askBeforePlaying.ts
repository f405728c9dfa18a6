// Whether the dashboard asks before a signal plays on every loudspeaker. One slip on a button
// sounds through the whole school, so it asks, unless this browser said "not again today".

const KEY = 'tollwick.playWithoutAskingOn';

/** The little of the browser's storage this needs; the real one by default. */
export interface Storage {
  getItem(key: string): string | null;
  setItem(key: string, value: string): void;
}

function browserStorage(): Storage | null {
  try {
    return window.localStorage;
  } catch {
    return null; // private mode without storage: it asks every time
  }
}

/** Whether to ask before playing on `today` ("YYYY-MM-DD"). */
export function asksBeforePlaying(today: string, storage: Storage | null = browserStorage()): boolean {
  return storage?.getItem(KEY) !== today;
}

/** Plays without asking for the rest of `today`; tomorrow it asks again. */
export function stopAskingToday(today: string, storage: Storage | null = browserStorage()): void {
  try {
    storage?.setItem(KEY, today);
  } catch {
    // A full or refused storage: it simply asks again.
  }
}
