// First start: what this system is, a password, the region and the working week.
import { api, isLoginLost } from '../api/client';
import { Icon } from '../components/Icon';
import { Button, Card, LoadError, Loading, Outcome } from '../components/ui';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { Link, navigate, useLocation } from '../router';
import { markWelcomeDone, setPasswordSet } from '../session';
import { CalendarSettingsForm } from './Calendar';
import { PasswordForm } from './Settings';
import './Welcome.css';

type WelcomeState = { kind: 'locked' } | { kind: 'open'; passwordMissing: boolean };

export function WelcomePage() {
  useTitle('Welcome');
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
          Welcome to Tollwick Player
        </h1>
        <p>
          Tollwick Player rings your school’s bells: at the start and end of every lesson, with a warning a few minutes
          before, by the timetable that the school calendar gives each day. It also plays announcements and one-off
          programmes at their time, and sounds the alarm when you need it.
        </p>
        {fromTray && <p class="muted">It keeps running in the background; its tray icon opens this interface again.</p>}
      </section>

      {state.error && !state.data && <LoadError error={state.error} retry={state.reload} />}
      {!state.data && !state.error && <Loading />}
      {state.data?.kind === 'locked' && (
        <Card title="Already set up">
          <p>This Tollwick Player is protected by a password.</p>
          <Link href="/login" class="btn btn-primary">
            Log in
          </Link>
        </Card>
      )}
      {state.data?.kind === 'open' && (
        <div class="welcome-steps">
          <Card title="1. A password" id="welcome-password">
            {state.data.passwordMissing ? (
              <>
                <p>Anybody who can reach this computer can use this interface until a password is set.</p>
                <PasswordForm onDone={() => void state.reload()} />
              </>
            ) : (
              <p class="notice notice-ok" role="status">
                <Icon name="check" size={18} /> A password protects this interface.
              </p>
            )}
          </Card>
          <RegionStep />
          <div class="welcome-finish">
            <Button variant="primary" icon="right" onClick={finish}>
              Go to the dashboard
            </Button>
            {state.data.passwordMissing && <span class="muted">You can set a password later in the settings.</span>}
          </div>
        </div>
      )}
    </div>
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
    <Card title="2. Region and working week" id="welcome-step-region">
      <p>The region brings its public holidays and school breaks; on those days no bells ring.</p>
      {loaded.error && !loaded.data && <LoadError error={loaded.error} retry={loaded.reload} />}
      {!loaded.data && !loaded.error && <Loading />}
      {loaded.data && (
        <>
          <CalendarSettingsForm idBase="welcome" cal={loaded.data[1].calendar} regions={loaded.data[0].regions} busy={save.busy} change={change} />
          {loaded.data[0].regions.length === 0 && (
            <p class="hint">The list of regions arrives from the vendor service; until then the working week alone decides.</p>
          )}
        </>
      )}
      <Outcome action={save} />
    </Card>
  );
}
