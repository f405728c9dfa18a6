// Loading, acting and polling, each with the server's refusal kept for the place that shows it.
import { useCallback, useEffect, useRef, useState } from 'preact/hooks';
import { PRODUCT_NAME } from '../i18n';

export const errorText = (error: unknown): string => (error instanceof Error ? error.message : String(error));

export interface Loaded<T> {
  data: T | undefined;
  error: string | null;
  loading: boolean;
  reload: () => Promise<void>;
}

/** Loads once on mount (and when `deps` change); `reload` fetches again and keeps the old data meanwhile. */
export function useLoad<T>(loader: () => Promise<T>, deps: unknown[] = []): Loaded<T> {
  const [data, setData] = useState<T | undefined>(undefined);
  const [error, setError] = useState<string | null>(null);
  const [loading, setLoading] = useState(true);
  const alive = useRef(true);
  const latest = useRef(0);
  const loaderRef = useRef(loader);
  loaderRef.current = loader;

  const reload = useCallback(async () => {
    const ticket = ++latest.current;
    setLoading(true);
    try {
      const value = await loaderRef.current();
      if (alive.current && ticket === latest.current) {
        setData(value);
        setError(null);
      }
    } catch (e) {
      if (alive.current && ticket === latest.current) setError(errorText(e));
    } finally {
      if (alive.current && ticket === latest.current) setLoading(false);
    }
  }, []);

  useEffect(() => {
    alive.current = true;
    void reload();
    return () => {
      alive.current = false;
    };
  }, deps);

  return { data, error, loading, reload };
}

/** How long a note about a sound that plays stays: the sound's length, at least a few seconds. */
export const soundNoteMs = (lengthSec: number): number => Math.max(lengthSec, 3) * 1000 + 500;

export interface Action {
  busy: boolean;
  error: string | null;
  done: string | null;
  /**
   * Runs `work`; a thrown error becomes `error`, a success shows `doneText` (if any). A note that
   * stops being true after a while (a sound that ends) goes after `fadeAfterMs`.
   */
  run: (work: () => Promise<unknown>, doneText?: string, fadeAfterMs?: number) => Promise<boolean>;
  clear: () => void;
  fail: (message: string) => void;
}

export function useAction(): Action {
  const [busy, setBusy] = useState(false);
  const [error, setError] = useState<string | null>(null);
  const [done, setDone] = useState<string | null>(null);
  const alive = useRef(true);
  const fade = useRef<number | undefined>(undefined);
  useEffect(
    () => () => {
      alive.current = false;
      window.clearTimeout(fade.current);
    },
    [],
  );
  const run = useCallback(async (work: () => Promise<unknown>, doneText?: string, fadeAfterMs?: number) => {
    window.clearTimeout(fade.current);
    setBusy(true);
    setError(null);
    setDone(null);
    try {
      await work();
      if (alive.current) setDone(doneText ?? null);
      if (doneText && fadeAfterMs !== undefined)
        fade.current = window.setTimeout(() => {
          if (alive.current) setDone((shown) => (shown === doneText ? null : shown));
        }, fadeAfterMs);
      return true;
    } catch (e) {
      if (alive.current) setError(errorText(e));
      return false;
    } finally {
      if (alive.current) setBusy(false);
    }
  }, []);
  const clear = useCallback(() => {
    window.clearTimeout(fade.current);
    setError(null);
    setDone(null);
  }, []);
  const fail = useCallback((message: string) => {
    window.clearTimeout(fade.current);
    setDone(null);
    setError(message);
  }, []);
  return { busy, error, done, run, clear, fail };
}

/**
 * Calls `tick` every `ms` milliseconds while the page is visible, and at once when it becomes
 * visible again. The first call comes after `ms`: the page loads its data itself.
 */
export function usePolling(tick: () => void | Promise<void>, ms: number): void {
  const tickRef = useRef(tick);
  tickRef.current = tick;
  useEffect(() => {
    let timer: number | undefined;
    let stopped = false;
    // One timer at a time, even when a visibility change starts a tick while another runs.
    const schedule = () => {
      window.clearTimeout(timer);
      if (!stopped) timer = window.setTimeout(loop, ms);
    };
    const loop = async () => {
      if (stopped) return;
      if (document.visibilityState === 'visible') {
        try {
          await tickRef.current();
        } catch {
          // The page shows its own errors; polling goes on.
        }
      }
      schedule();
    };
    const onVisible = () => {
      if (document.visibilityState === 'visible' && !stopped) {
        window.clearTimeout(timer);
        void loop();
      }
    };
    schedule();
    document.addEventListener('visibilitychange', onVisible);
    return () => {
      stopped = true;
      window.clearTimeout(timer);
      document.removeEventListener('visibilitychange', onVisible);
    };
  }, [ms]);
}

/** Sets the browser tab's title while the page is shown: the page's name, then the program's. */
export function useTitle(title: string): void {
  useEffect(() => {
    document.title = title ? `${title} · ${PRODUCT_NAME}` : PRODUCT_NAME;
  }, [title]);
}
