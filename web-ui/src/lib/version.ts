// The version as shown to people: a copy of the program without a known version says so in words.
import { t } from '../i18n';

// What git adds to the version of a copy made from changed sources.
const MODIFIED = /-dirty$/;

/** The version text, or null when the server could not tell it ("?" or nothing). */
export function knownVersion(version: string | null | undefined): string | null {
  const v = (version ?? '').trim().replace(MODIFIED, '');
  return v === '' || v === '?' ? null : v;
}

/** "Version 1.4.2", "Version 1.4.2 (modified)", or a sentence for a copy without a known version. */
export function versionText(version: string | null | undefined): string {
  const v = knownVersion(version);
  if (!v) return t('version.unknown');
  return MODIFIED.test((version ?? '').trim()) ? t('version.modified', { version: v }) : t('version.known', { version: v });
}
