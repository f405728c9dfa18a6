// What the interface knows about the login state: whether a password protects the server.
import { useEffect, useState } from 'preact/hooks';
import { api } from './api/client';

type Listener = (passwordSet: boolean | null) => void;
let passwordSet: boolean | null = null;
const listeners = new Set<Listener>();

export function setPasswordSet(value: boolean): void {
  if (value === passwordSet) return;
  passwordSet = value;
  for (const l of listeners) l(value);
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
  const [value, setValue] = useState(passwordSet);
  useEffect(() => {
    listeners.add(setValue);
    setValue(passwordSet);
    return () => void listeners.delete(setValue);
  }, []);
  return value;
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
