// What the interface knows about the login state: whether a password protects the server.
import { api } from './api/client';
import { createStore, useStore } from './lib/store';

/** Null until the server has said. */
const passwordSet = createStore<boolean | null>(null);

export function setPasswordSet(value: boolean): void {
  passwordSet.set(value);
}

/** Asks the server again; a refusal leaves what was known. */
export async function refreshSession(): Promise<void> {
  try {
    const overview = await api.overview();
    setPasswordSet(!overview.passwordMissing);
  } catch {
    // Not logged in or unreachable: the pages say so themselves.
  }
}

export function usePasswordSet(): boolean | null {
  return useStore(passwordSet);
}

const WELCOME_KEY = 'tollwick.welcomeDone';

export function welcomeDone(): boolean {
  try {
    return window.localStorage.getItem(WELCOME_KEY) === '1';
  } catch {
    return true;
  }
}

export function markWelcomeDone(): void {
  try {
    window.localStorage.setItem(WELCOME_KEY, '1');
  } catch {
    // Private mode without storage: the welcome page may show again, nothing worse.
  }
}

/**
 * The page to show after the login. The server names it in this cookie when it sends a browser
 * from a page to the login; the interface does the same when it finds the login lost.
 */
const RETURN_COOKIE = 'tollwick_return';

export function rememberReturn(path: string): void {
  document.cookie = `${RETURN_COOKIE}=${encodeURIComponent(path)}; Path=/; Max-Age=600; SameSite=Strict`;
}

/** The remembered page (once: it is forgotten on reading), or "/" when there is none or it is not a page of this interface. */
export function takeReturnPath(): string {
  const entry = document.cookie.split('; ').find((c) => c.startsWith(`${RETURN_COOKIE}=`));
  document.cookie = `${RETURN_COOKIE}=; Path=/; Max-Age=0; SameSite=Strict`;
  if (!entry) return '/';
  let path: string;
  try {
    path = decodeURIComponent(entry.slice(RETURN_COOKIE.length + 1));
  } catch {
    return '/';
  }
  const samePage = path.startsWith('/') && !path.startsWith('//') && !path.includes('\\');
  return samePage && !/^\/(login|welcome)(\?|$)/.test(path) ? path : '/';
}
