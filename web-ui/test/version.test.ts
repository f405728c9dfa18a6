import { afterAll, describe, expect, it } from 'vitest';
import { activate, type Locale } from '../src/i18n';
import { bareVersion, knownVersion, versionText } from '../src/lib/version';

describe('the version shown', () => {
  afterAll(() => activate('en'));

  it.each<[Locale, string | undefined, string | null, string, string]>([
    ['en', '1.4.2', '1.4.2', 'Version 1.4.2', '1.4.2'],
    ['en', ' v1.4.2-dirty ', 'v1.4.2', 'Version v1.4.2 (modified)', 'v1.4.2'],
    ['en', 'v1.4.2-3-gabc1234-dirty', null, 'Version not known (not an official release)', 'Not known (a development version)'],
    ['en', 'a0accb9', null, 'Version not known (not an official release)', 'Not known (a development version)'],
    ['en', '?', null, 'Version not known (not an official release)', 'Not known (a development version)'],
    ['en', undefined, null, 'Version not known (not an official release)', 'Not known (a development version)'],
    ['hu', 'a0accb9-dirty', null, 'A verzió nem ismert (nem hivatalos kiadás)', 'Ismeretlen (fejlesztői verzió)'],
    ['de', '0.1.0', '0.1.0', 'Version 0.1.0', '0.1.0'],
  ])('%s: %j is %j, %j, in the settings %j', async (locale, sent, known, shown, bare) => {
    await activate(locale);
    expect(knownVersion(sent)).toBe(known);
    expect(versionText(sent)).toBe(shown);
    expect(bareVersion(sent)).toBe(bare);
  });
});
