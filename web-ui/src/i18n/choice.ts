// Which language the interface speaks: what this browser chose for itself, else what the
// installation was set to, else the first of the browser's own languages that the interface has,
// else English.

/** Every language the interface speaks, as the settings record and the browser keep it. */
export const LANGUAGES = ['en', 'hu', 'de'] as const;
export type Language = (typeof LANGUAGES)[number];
/** A language, or the pseudo-locale that development runs may choose to find untranslated texts. */
export type Locale = Language | 'pseudo';

export const isLanguage = (value: unknown): value is Language => LANGUAGES.includes(value as Language);

export interface LanguageChoices {
  /** This browser's own choice, when it made one. */
  browserChoice?: string | null;
  /** The installation's default, when it is known. */
  installation?: string | null;
  /** The browser's languages in its order of preference (navigator.languages). */
  preferred?: readonly string[];
}

export function chooseLocale({ browserChoice, installation, preferred = [] }: LanguageChoices): Locale {
  if (browserChoice === 'pseudo' || isLanguage(browserChoice)) return browserChoice;
  if (isLanguage(installation)) return installation;
  for (const tag of preferred) {
    const primary = tag.toLowerCase().split('-')[0];
    if (isLanguage(primary)) return primary;
  }
  return 'en';
}
