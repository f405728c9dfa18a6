// The interface's texts in the chosen language: t() looks a message up in the active catalogue
// and fills in its placeholders, with the plural rules of the language. English is always loaded;
// another language's catalogue is fetched when it is first chosen.
import { setupI18n, type Messages } from '@lingui/core';
import english from './catalogues/en.json?catalogue';
import type englishSource from './catalogues/en.json';
import { createStore, useStore } from '../lib/store';
import { chooseLocale, isLanguage, type Language, type Locale } from './choice';

export { LANGUAGES, isLanguage, type Language, type Locale } from './choice';

/** The program's name, the same in every language. */
export const PRODUCT_NAME = 'Tollwick Player';

/** A key of the catalogues: every key is in the English one. */
export type MessageKey = keyof typeof englishSource;

interface LocaleInfo {
  /** The language's name in itself, for the language menu. */
  name: string;
  /** The locale of the platform's Intl for its dates, times and numbers. */
  intl: string;
  load: () => Promise<Messages>;
}

/**
 * The one list of what the interface speaks. English is the English of Europe: day before month,
 * the 24-hour clock.
 */
export const LOCALES: Record<Locale, LocaleInfo> = {
  en: { name: 'English', intl: 'en-GB', load: async () => english },
  hu: { name: 'Magyar', intl: 'hu-HU', load: async () => (await import('./catalogues/hu.json?catalogue')).default },
  de: { name: 'Deutsch', intl: 'de-DE', load: async () => (await import('./catalogues/de.json?catalogue')).default },
  pseudo: {
    name: '[Pseudo]',
    intl: 'en-GB',
    load: async () => (await import('./catalogues/en.json?catalogue&pseudo')).default,
  },
};

const i18n = setupI18n({ locale: 'en', messages: { en: english } });
const loaded = new Set<Locale>(['en']);
const active = createStore<Locale>('en');

export type Values = Record<string, unknown>;

/** The message `key` of the active language, its placeholders filled from `values`. */
export function t(key: MessageKey, values?: Values): string {
  return i18n._(key, values);
}

export const currentLocale = (): Locale => active.get();
export const intlLocale = (): string => LOCALES[active.get()].intl;

/** The active locale; the component shows again when it changes. */
export const useLocale = (): Locale => useStore(active);

/** Loads the catalogue of `locale` when needed and makes it the active one. */
export async function activate(locale: Locale): Promise<void> {
  if (!loaded.has(locale)) {
    i18n.load(locale, await LOCALES[locale].load());
    loaded.add(locale);
  }
  i18n.activate(locale, [LOCALES[locale].intl]);
  if (typeof document !== 'undefined') document.documentElement.lang = locale === 'pseudo' ? 'en' : locale;
  active.set(locale);
}

// What this browser keeps: its own choice, and the installation's default as last seen, so that
// the login page speaks it before anyone has logged in.
const BROWSER_CHOICE_KEY = 'tollwick.language';
const INSTALLATION_KEY = 'tollwick.installationLanguage';

function stored(key: string): string | null {
  try {
    return window.localStorage.getItem(key);
  } catch {
    return null;
  }
}

function store(key: string, value: string | null): void {
  try {
    if (value === null) window.localStorage.removeItem(key);
    else window.localStorage.setItem(key, value);
  } catch {
    // Private mode without storage: the choice lasts until the page is left.
  }
}

/** The installation's default as this browser last learnt it; English until then. */
export const installationLanguage = createStore<Language>(
  ((value) => (isLanguage(value) ? value : 'en'))(stored(INSTALLATION_KEY)),
);

/** The browser's own choice of language, if it made one. */
export const browserChoice = (): Locale | null => {
  const value = stored(BROWSER_CHOICE_KEY);
  return value === 'pseudo' || isLanguage(value) ? value : null;
};

function decide(): Locale {
  return chooseLocale({
    browserChoice: stored(BROWSER_CHOICE_KEY),
    installation: stored(INSTALLATION_KEY),
    preferred: typeof navigator === 'undefined' ? [] : navigator.languages,
  });
}

/**
 * Speaks what this browser decides at start-up. A development run may ask for the pseudo-locale
 * with "?language=pseudo" in the address.
 */
export async function startLanguage(): Promise<void> {
  const asked = new URLSearchParams(window.location.search).get('language');
  if (asked === 'pseudo' || isLanguage(asked)) store(BROWSER_CHOICE_KEY, asked);
  await activate(decide());
}

/** This browser's own choice; null follows the installation's default again. */
export async function chooseForThisBrowser(locale: Locale | null): Promise<void> {
  store(BROWSER_CHOICE_KEY, locale);
  await activate(decide());
}

/** The installation's default, as the server's settings hold it (absent in older settings: English). */
export async function learnInstallationLanguage(language: Language | undefined): Promise<void> {
  store(INSTALLATION_KEY, language ?? 'en');
  installationLanguage.set(language ?? 'en');
  const next = decide();
  if (next !== active.get()) await activate(next);
}
