import { useEffect, useState } from 'preact/hooks';
import { api, onAuthLost } from './api/client';
import { Icon, type IconName } from './components/Icon';
import { refreshBells } from './bells';
import { AlarmBanner } from './components/AlarmBanner';
import { BellsOffBanner } from './components/BellsOffBanner';
import { usePolling } from './lib/hooks';
import { refreshPlaying } from './playing';
import { Link, matchPath, mayLeave, navigate, useLocation } from './router';
import { refreshSession, rememberReturn, usePasswordSet } from './session';
import { Dashboard } from './pages/Dashboard';
import { TimetablesPage } from './pages/Timetables';
import { TimetableEditor } from './pages/TimetableEditor';
import { SignalsPage } from './pages/Signals';
import { ProgrammesPage } from './pages/Programmes';
import { CalendarPage } from './pages/Calendar';
import { WeekPage } from './pages/Week';
import { SettingsPage } from './pages/Settings';
import { LogPage } from './pages/Log';
import { LoginPage } from './pages/Login';
import { WelcomePage } from './pages/Welcome';
import { NotFound } from './pages/NotFound';
import { LanguageMenu } from './components/LanguageMenu';
import { learnInstallationLanguage, PRODUCT_NAME, t, useLocale, type MessageKey } from './i18n';
import './App.css';

const NAV: { href: string; label: MessageKey; icon: IconName }[] = [
  { href: '/', label: 'nav.dashboard', icon: 'home' },
  { href: '/timetables', label: 'nav.timetables', icon: 'clock' },
  { href: '/signals', label: 'nav.signals', icon: 'bell' },
  { href: '/programmes', label: 'nav.programmes', icon: 'megaphone' },
  { href: '/week', label: 'nav.week', icon: 'list' },
  { href: '/calendar', label: 'nav.calendar', icon: 'calendar' },
  { href: '/log', label: 'nav.log', icon: 'list' },
  { href: '/settings', label: 'nav.settings', icon: 'cog' },
];

/** Pages shown without the menu: they are for a browser that is not logged in or not set up. */
const isBare = (path: string): boolean => path === '/login' || path === '/welcome';

/**
 * The dashboard's own poll keeps the login state and the bells switch up to date; asking here too
 * would ask the server twice.
 */
const watchesItself = (path: string): boolean => path === '/';

function isActive(href: string, path: string): boolean {
  return href === '/' ? path === '/' : path === href || path.startsWith(`${href}/`);
}

function Page({ path }: { path: string }) {
  if (path === '/login') return <LoginPage />;
  if (path === '/welcome') return <WelcomePage />;
  if (path === '/') return <Dashboard />;
  if (path === '/timetables') return <TimetablesPage />;
  const editor = matchPath('/timetables/:id', path);
  if (editor) return <TimetableEditor id={editor.id} />;
  if (path === '/signals') return <SignalsPage />;
  if (path === '/programmes') return <ProgrammesPage />;
  if (path === '/week') return <WeekPage />;
  if (path === '/calendar') return <CalendarPage />;
  if (path === '/log') return <LogPage />;
  if (path === '/settings') return <SettingsPage />;
  return <NotFound />;
}

export function App() {
  const { path } = useLocation();
  const [menuOpen, setMenuOpen] = useState(false);
  const passwordSet = usePasswordSet();
  const bare = isBare(path);
  // Every page is shown again in a newly chosen language.
  useLocale();

  useEffect(() => {
    onAuthLost(() => {
      if (isBare(window.location.pathname)) return;
      // After the login the browser comes back here.
      rememberReturn(window.location.pathname + window.location.search);
      navigate('/login', { force: true });
    });
  }, []);

  useEffect(() => {
    setMenuOpen(false);
    // Page changes move the focus to the new page's content, as a full load would.
    document.getElementById('main')?.focus({ preventScroll: true });
    window.scrollTo(0, 0);
  }, [path]);

  useEffect(() => {
    if (!bare && !watchesItself(path)) void refreshSession();
  }, [bare]);

  // The school's language, once the server lets this browser read its settings.
  useEffect(() => {
    if (bare) return;
    api.settings().then(
      (settings) => learnInstallationLanguage(settings.language),
      () => undefined, // not logged in yet: the login page speaks what was last learnt
    );
  }, [bare, passwordSet]);

  // Another browser may switch the bells off or on: every page keeps up with it.
  useEffect(() => {
    if (!bare && !watchesItself(path)) void refreshBells();
  }, [path]);
  usePolling(() => {
    const here = window.location.pathname;
    return isBare(here) || watchesItself(here) ? undefined : refreshBells();
  }, 10000);
  // What sounds now, every second on every page: the alarm banner and the dashboard read it.
  usePolling(() => (isBare(window.location.pathname) ? undefined : refreshPlaying()), 1000);

  const logout = async () => {
    if (!(await mayLeave())) return;
    try {
      await api.logout();
    } finally {
      navigate('/login', { force: true });
    }
  };

  return (
    <div class={`app ${bare ? 'app-bare' : ''}`}>
      <a class="skip-link" href="#main">
        {t('app.skipToContent')}
      </a>
      <header class="topbar">
        <Link href="/" class="brand" aria-label={t('app.brandLink')}>
          <span class="brand-mark" aria-hidden="true">
            <Icon name="bell" size={22} />
          </span>
          <span class="brand-name">{PRODUCT_NAME}</span>
        </Link>
        {!bare && (
          <>
            <button
              type="button"
              class="menu-toggle"
              aria-expanded={menuOpen}
              aria-controls="site-nav"
              onClick={() => setMenuOpen(!menuOpen)}
            >
              <Icon name={menuOpen ? 'close' : 'menu'} />
              <span class="visually-hidden">{t('app.menu')}</span>
            </button>
            <nav id="site-nav" class={`site-nav ${menuOpen ? 'open' : ''}`} aria-label={t('app.pages')}>
              <ul>
                {NAV.map((item) => (
                  <li key={item.href}>
                    <Link href={item.href} aria-current={isActive(item.href, path) ? 'page' : undefined}>
                      <Icon name={item.icon} size={18} />
                      {t(item.label)}
                    </Link>
                  </li>
                ))}
                {passwordSet && (
                  <li>
                    <button type="button" class="nav-logout" onClick={logout}>
                      <Icon name="logout" size={18} />
                      {t('app.logOut')}
                    </button>
                  </li>
                )}
              </ul>
            </nav>
          </>
        )}
        <LanguageMenu />
      </header>
      <main id="main" tabIndex={-1}>
        {!bare && <AlarmBanner />}
        {!bare && <BellsOffBanner />}
        <Page path={path} />
      </main>
    </div>
  );
}
