import { describe, expect, it } from 'vitest';
import { knownVersion, versionText } from '../src/lib/version';

describe('the version shown', () => {
  it.each([
    ['1.4.2', '1.4.2', 'Version 1.4.2'],
    [' v1.4.2-3-gabc1234-dirty ', 'v1.4.2-3-gabc1234', 'Version v1.4.2-3-gabc1234 (modified)'],
    ['?', null, 'Version not known (not an official release)'],
    [undefined, null, 'Version not known (not an official release)'],
  ])('%j is %j: %j', (sent, known, shown) => {
    expect(knownVersion(sent)).toBe(known);
    expect(versionText(sent)).toBe(shown);
  });
});
