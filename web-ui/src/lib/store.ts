// A value that several pages and components show and any of them may change: whoever sets it
// tells every component that shows it.
import { useEffect, useState } from 'preact/hooks';

export interface Store<T> {
  get(): T;
  /** Sets the value; listeners hear of it only when it changed. */
  set(value: T): void;
  /** Answers the function that stops the listening. */
  subscribe(listener: (value: T) => void): () => void;
}

export function createStore<T>(initial: T): Store<T> {
  let value = initial;
  const listeners = new Set<(value: T) => void>();
  return {
    get: () => value,
    set(next) {
      if (Object.is(next, value)) return;
      value = next;
      for (const listener of [...listeners]) listener(next);
    },
    subscribe(listener) {
      listeners.add(listener);
      return () => void listeners.delete(listener);
    },
  };
}

/** The store's value, shown again whenever it changes. */
export function useStore<T>(store: Store<T>): T {
  const [value, setValue] = useState(store.get);
  useEffect(() => {
    // Wrapped, so that a value that is itself a function is not taken for an update.
    const show = (next: T) => setValue(() => next);
    const stop = store.subscribe(show);
    // It may have changed between the first render and now.
    show(store.get());
    return stop;
  }, [store]);
  return value;
}
