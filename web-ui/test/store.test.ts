import { describe, expect, it, vi } from 'vitest';
import { createStore } from '../src/lib/store';

describe('a shared value', () => {
  it.each([
    ['a change', [true], [[true]]],
    ['the same value again', [null], []],
    ['each of several changes, in order', [true, false, false, true], [[true], [false], [true]]],
  ])('tells its listeners of %s', (_, values, heard) => {
    const store = createStore<boolean | null>(null);
    const listener = vi.fn();
    store.subscribe(listener);
    for (const value of values) store.set(value);
    expect(listener.mock.calls).toEqual(heard);
    expect(store.get()).toBe(values.at(-1) ?? null);
  });

  it('stops telling a listener that stopped listening, and only that one', () => {
    const store = createStore(0);
    const gone = vi.fn();
    const stays = vi.fn();
    const stop = store.subscribe(gone);
    store.subscribe(stays);
    stop();
    store.set(1);
    expect(gone).not.toHaveBeenCalled();
    expect(stays).toHaveBeenCalledWith(1);
  });
});
