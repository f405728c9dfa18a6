// The version as shown to people: a copy of the program without a release version says so in words.
import { t } from '../i18n';

// What git adds to the version of a copy made from changed sources.
const MODIFIED = /-dirty$/;
// A release's version: numbers with dots between them, perhaps after a "v" ("0.1.0", "v1.4.2").
// Anything else (a commit's name such as "a0accb9", "v1.4.2-3-gabc1234", or "?") is a copy
// made from the sources, without a version of its own.
const RELEASE = /^v?\d+(\.\d+)*$/;

/** The release version, without what git adds to it; null for a copy without one. */
export function knownVersion(version: string | null | undefined): string | null {
  const v = (version ?? '').trim().replace(MODIFIED, '');
  return RELEASE.test(v) ? v : null;
}

/** "Version 1.4.2", "Version 1.4.2 (modified)", or a sentence for a copy without a release version. */
export function versionText(version: string | null | undefined): string {
  const v = knownVersion(version);
  if (!v) return t('version.unknown');
  return MODIFIED.test((version ?? '').trim()) ? t('version.modified', { version: v }) : t('version.known', { version: v });
}

/** The version alone, as the settings list it: "1.4.2", or that it is not known. */
export const bareVersion = (version: string | null | undefined): string => knownVersion(version) ?? t('settings.versionNotKnown');
