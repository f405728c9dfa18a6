// The language of this browser: the school's own, or one chosen here for this browser alone.
import { browserChoice, chooseForThisBrowser, installationLanguage, LANGUAGES, LOCALES, t, useLocale, type Locale } from '../i18n';
import { useStore } from '../lib/store';
import './LanguageMenu.css';

export function LanguageMenu() {
  useLocale(); // shown again in the new language
  const school = useStore(installationLanguage);
  const chosen = browserChoice();
  return (
    <label class="language-menu">
      <span class="visually-hidden">{t('language.menu')}</span>
      <select
        value={chosen ?? ''}
        onChange={(e) => void chooseForThisBrowser((e.currentTarget.value || null) as Locale | null)}
      >
        <option value="">{t('language.followInstallation', { language: LOCALES[school].name })}</option>
        {LANGUAGES.map((language) => (
          <option key={language} value={language} lang={language}>
            {LOCALES[language].name}
          </option>
        ))}
        {chosen === 'pseudo' && <option value="pseudo">{LOCALES.pseudo.name}</option>}
      </select>
    </label>
  );
}
