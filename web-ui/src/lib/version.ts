// The version as shown to people: a build without a known version says so in words.

/** The version text, or null when the server could not tell it ("?" or nothing). */
export function knownVersion(version: string | null | undefined): string | null {
  const v = (version ?? '').trim();
  return v === '' || v === '?' ? null : v;
}

/** "Version 1.4.2", or a sentence for a build without a known version. */
export function versionText(version: string | null | undefined): string {
  const v = knownVersion(version);
  return v ? `Version ${v}` : 'Version not known (a development build)';
}
