import { afterEach, describe, expect, it, vi } from 'vitest';
import { api, ApiError, isLoginLost, onAuthLost } from '../src/api/client';

describe('a lost login', () => {
  it.each([
    [new ApiError(400, 'No auth'), true],
    [new ApiError(400, 'Login failed'), false],
    [new ApiError(403, 'No auth'), false],
    [new ApiError(400, 'No auth\n'), false],
    [new ApiError(0, ''), false],
    [new Error('No auth'), false],
    ['No auth', false],
  ])('%o is lost: %s', (error, lost) => {
    expect(isLoginLost(error)).toBe(lost);
  });

  afterEach(() => {
    vi.unstubAllGlobals();
    onAuthLost(() => {});
  });

  // Every request goes through the same refusal: only the server's "No auth" sends the user to the login.
  it.each([
    ['the login is lost', 1, () => new Response('No auth', { status: 400 })],
    ['the request is refused for another reason', 0, () => new Response('Invalid date', { status: 400 })],
    ['the server cannot be reached', 0, () => Promise.reject(new TypeError('fetch failed'))],
  ])('when %s, the interface is told %i times', async (_, told, answer) => {
    vi.stubGlobal('fetch', vi.fn(answer));
    const listener = vi.fn();
    onAuthLost(listener);
    await expect(api.status()).rejects.toBeInstanceOf(ApiError);
    expect(listener).toHaveBeenCalledTimes(told);
  });
});
