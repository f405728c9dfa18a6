import { describe, expect, it } from 'vitest';
import { parseRecentCodes, RECENT_CODES, readRecentCodes, rememberCode, withRecentCode } from '../src/lib/recentCodes';

const many = Array.from({ length: RECENT_CODES }, (_, i) => `code-${i}`);

/** A browser's storage, or one that refuses to keep anything. */
function storage(refuses = false) {
  const kept = new Map<string, string>();
  return {
    getItem: (key: string) => kept.get(key) ?? null,
    setItem: (key: string, value: string) => {
      if (refuses) throw new Error('quota');
      kept.set(key, value);
    },
  };
}

describe('the announcement codes used last', () => {
  it.each([
    ['the first code', [], 'fire-drill', ['fire-drill']],
    ['a new code first', ['a', 'b'], 'c', ['c', 'a', 'b']],
    ['a code used again first, once', ['a', 'b', 'c'], 'b', ['b', 'a', 'c']],
    ['a code without the spaces around it', ['a'], ' a ', ['a']],
    ['nothing for an empty code', ['a', 'b'], '  ', ['a', 'b']],
    ['the oldest dropped beyond the bound', many, 'new', ['new', ...many.slice(0, -1)]],
  ])('keep %s', (_, codes, code, want) => {
    expect(withRecentCode(codes, code)).toEqual(want);
  });

  it.each([
    ['nothing stored', null, []],
    ['no JSON', 'fire-drill', []],
    ['no list', '{"0":"a"}', []],
    ['a list with other things in it', '["a", 3, "", " b ", "a", null]', ['a', 'b']],
    ['too long a list', JSON.stringify([...many, 'extra']), many],
  ])('read as stored: %s', (_, stored, want) => {
    expect(parseRecentCodes(stored)).toEqual(want);
  });

  it('are kept in the storage newest first, and offered still when the storage refuses them', () => {
    const kept = storage();
    for (const code of ['fire-drill', 'lunch', 'fire-drill']) rememberCode(code, kept);
    expect(readRecentCodes(kept)).toEqual(['fire-drill', 'lunch']);
    const refusing = storage(true);
    expect(rememberCode('lunch', refusing)).toEqual(['lunch']);
    expect(readRecentCodes(refusing)).toEqual([]);
  });
});
