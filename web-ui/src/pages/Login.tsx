import { useEffect, useState } from 'preact/hooks';
import { api, ApiError } from '../api/client';
import { Icon } from '../components/Icon';
import { Button, described, Field, Outcome } from '../components/ui';
import { PRODUCT_NAME, t } from '../i18n';
import { useAction, useTitle } from '../lib/hooks';
import { navigate } from '../router';
import { setPasswordSet, takeReturnPath } from '../session';
import './Login.css';

/** The server's refusal of a password, in the words a user expects. */
async function logIn(password: string): Promise<void> {
  try {
    await api.login(password);
  } catch (e) {
    if (e instanceof ApiError && e.status === 400 && e.text.trim() === 'Login failed') throw new Error(t('login.wrongPassword'));
    throw e;
  }
}

export function LoginPage() {
  useTitle(t('login.title'));
  const [password, setPassword] = useState('');
  const [error, setError] = useState<string | null>(null);
  const login = useAction();

  // A browser that needs no login (logged in, or no password set) belongs on the page it asked for.
  useEffect(() => {
    api.overview().then(
      () => navigate(takeReturnPath(), { replace: true }),
      () => {},
    );
  }, []);

  const submit = async (e: Event) => {
    e.preventDefault();
    // One message at a time: a new one replaces whatever the last attempt said.
    login.clear();
    if (!password) {
      setError(t('login.enterPassword'));
      return;
    }
    setError(null);
    const ok = await login.run(() => logIn(password));
    if (ok) {
      setPasswordSet(true);
      navigate(takeReturnPath(), { replace: true });
    } else {
      setPassword('');
      document.getElementById('password')?.focus();
    }
  };

  return (
    <div class="auth-page">
      <div class="card auth-card">
        <h1>
          <Icon name="bell" size={26} /> {t('login.title')}
        </h1>
        <p class="muted">{t('login.protected', { product: PRODUCT_NAME })}</p>
        <form onSubmit={submit} noValidate>
          <Field id="password" label={t('login.password')} error={error}>
            <input id="password" type="password" autoComplete="current-password" value={password} onInput={(e) => setPassword(e.currentTarget.value)} autoFocus {...described('password', error)} />
          </Field>
          <Button type="submit" variant="primary" busy={login.busy} icon="right">
            {t('login.submit')}
          </Button>
          <Outcome action={login} />
        </form>
      </div>
    </div>
  );
}
