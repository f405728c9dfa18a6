// First start: what this system is, the school's language and name, a password, the calendar region
// and the school week.
import { useEffect } from 'preact/hooks';
import { api, isLoginLost } from '../api/client';
import { Icon } from '../components/Icon';
import { Button, Card, LoadError, Loading, Outcome } from '../components/ui';
import { learnInstallationLanguage, PRODUCT_NAME, t } from '../i18n';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { Link, navigate, useLocation } from '../router';
import { markWelcomeDone, setPasswordSet } from '../session';
import { CalendarSettingsForm } from './Calendar';
import { PasswordForm, SchoolLanguageField, SchoolNameField } from './Settings';
import './Welcome.css';

type WelcomeState = { kind: 'locked' } | { kind: 'open'; passwordMissing: boolean };

export function WelcomePage() {
  useTitle(t('welcome.pageTitle'));
  const { query } = useLocation();
  const fromTray = query.get('isTray') === '1';
  const state = useLoad(async (): Promise<WelcomeState> => {
    try {
      const overview = await api.overview();
      setPasswordSet(!overview.passwordMissing);
      return { kind: 'open', passwordMissing: overview.passwordMissing };
    } catch (e) {
      if (isLoginLost(e)) return { kind: 'locked' };
      throw e;
    }
  });

  const finish = () => {
    markWelcomeDone();
    navigate('/');
  };

  return (
    <div class="welcome">
      <section class="welcome-hero">
        <h1>
          <span class="brand-mark" aria-hidden="true">
            <Icon name="bell" size={30} />
          </span>
          {t('welcome.heading', { product: PRODUCT_NAME })}
        </h1>
        <p>{t('welcome.intro', { product: PRODUCT_NAME })}</p>
        {fromTray && <p class="muted">{t('welcome.fromTray')}</p>}
      </section>

      {state.error && !state.data && <LoadError error={state.error} retry={state.reload} />}
      {!state.data && !state.error && <Loading />}
      {state.data?.kind === 'locked' && (
        <Card title={t('welcome.alreadySetUp')}>
          <p>{t('welcome.protected', { product: PRODUCT_NAME })}</p>
          <Link href="/login" class="btn btn-primary">
            {t('welcome.logIn')}
          </Link>
        </Card>
      )}
      {state.data?.kind === 'open' && (
        <div class="welcome-steps">
          <LanguageStep />
          <Card title={t('welcome.passwordStep')} id="welcome-password">
            {state.data.passwordMissing ? (
              <>
                <p>{t('welcome.passwordMissing')}</p>
                <PasswordForm onDone={() => void state.reload()} />
              </>
            ) : (
              <p class="notice notice-ok" role="status">
                <Icon name="check" size={18} /> {t('welcome.passwordSet')}
              </p>
            )}
          </Card>
          <RegionStep />
          <div class="welcome-finish">
            <Button variant="primary" icon="right" onClick={finish}>
              {t('welcome.toDashboard')}
            </Button>
            {state.data.passwordMissing && <span class="muted">{t('welcome.passwordLater')}</span>}
          </div>
        </div>
      )}
    </div>
  );
}

function LanguageStep() {
  const loaded = useLoad(() => api.settings());
  const language = loaded.data?.language;
  // The page speaks the school's language as the server holds it, also when it is opened again.
  useEffect(() => {
    if (loaded.data) void learnInstallationLanguage(language);
  }, [loaded.data]);
  return (
    <Card title={t('welcome.languageStep')} id="welcome-step-language">
      <p>{t('welcome.languageIntro')}</p>
      {loaded.error && !loaded.data && <LoadError error={loaded.error} retry={loaded.reload} />}
      {!loaded.data && !loaded.error && <Loading />}
      {loaded.data && (
        <>
          <SchoolLanguageField id="welcome-language" language={language ?? 'en'} onSaved={loaded.reload} />
          <div class="welcome-school-name">
            <SchoolNameField id="welcome-school-name" optional name={loaded.data.schoolName ?? ''} onSaved={loaded.reload} />
          </div>
        </>
      )}
    </Card>
  );
}

function RegionStep() {
  const loaded = useLoad(() => Promise.all([api.calendarInfo(), api.settings()]));
  const save = useAction();
  const change = (changes: Record<string, unknown>, done: string) =>
    save.run(async () => {
      await api.updateSettings(changes);
      await loaded.reload();
    }, done);
  return (
    <Card title={t('welcome.regionStep')} id="welcome-step-region">
      <p>{t('welcome.regionIntro')}</p>
      {loaded.error && !loaded.data && <LoadError error={loaded.error} retry={loaded.reload} />}
      {!loaded.data && !loaded.error && <Loading />}
      {loaded.data && (
        <>
          <CalendarSettingsForm idBase="welcome" cal={loaded.data[1].calendar} regions={loaded.data[0].regions} busy={save.busy} change={change} />
          {loaded.data[0].regions.length === 0 && <p class="hint">{t('welcome.noRegionsYet')}</p>}
        </>
      )}
      <Outcome action={save} />
    </Card>
  );
}
