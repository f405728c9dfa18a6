// The announcement codes this browser played or scheduled last, newest first, so that the code
// field can offer them instead of having them typed from memory.

const KEY = 'tollwick.announcementCodes';

/** How many codes are kept. */
export const RECENT_CODES = 6;

/** The list with `code` first, each code once, at most `limit` of them. */
export function withRecentCode(codes: readonly string[], code: string, limit = RECENT_CODES): string[] {
  const trimmed = code.trim();
  if (!trimmed) return codes.slice(0, limit);
  return [trimmed, ...codes.filter((c) => c !== trimmed)].slice(0, limit);
}

/** The kept codes as stored; anything else than a list of texts counts as none. */
export function parseRecentCodes(stored: string | null): string[] {
  if (!stored) return [];
  try {
    const value: unknown = JSON.parse(stored);
    if (!Array.isArray(value)) return [];
    const texts = value.filter((c): c is string => typeof c === 'string' && c.trim() !== '').map((c) => c.trim());
    return [...new Set(texts)].slice(0, RECENT_CODES);
  } catch {
    return [];
  }
}

type CodeStorage = Pick<Storage, 'getItem' | 'setItem'>;

function storage(): CodeStorage | null {
  try {
    return window.localStorage;
  } catch {
    return null;
  }
}

export function readRecentCodes(from: CodeStorage | null = storage()): string[] {
  try {
    return parseRecentCodes(from?.getItem(KEY) ?? null);
  } catch {
    return [];
  }
}

/** Keeps `code` as the newest; answers the list now kept. */
export function rememberCode(code: string, into: CodeStorage | null = storage()): string[] {
  const codes = withRecentCode(readRecentCodes(into), code);
  try {
    into?.setItem(KEY, JSON.stringify(codes));
  } catch {
    // Private mode without storage: the codes are offered until the page is left.
  }
  return codes;
}
