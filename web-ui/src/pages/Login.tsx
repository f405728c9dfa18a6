import { useEffect, useState } from 'preact/hooks';
import { api } from '../api/client';
import { Icon } from '../components/Icon';
import { Button, described, Field, Outcome } from '../components/ui';
import { useAction, useTitle } from '../lib/hooks';
import { navigate } from '../router';
import { setPasswordSet } from '../session';

export function LoginPage() {
  useTitle('Log in');
  const [password, setPassword] = useState('');
  const [remember, setRemember] = useState(true);
  const [error, setError] = useState<string | null>(null);
  const login = useAction();

  // A browser that needs no login (logged in, or no password set) belongs on the dashboard.
  useEffect(() => {
    api.overview().then(
      () => navigate('/', { replace: true }),
      () => {},
    );
  }, []);

  const submit = async (e: Event) => {
    e.preventDefault();
    if (!password) {
      setError('Enter the password');
      return;
    }
    setError(null);
    const ok = await login.run(() => api.login(password, remember));
    if (ok) {
      setPasswordSet(true);
      navigate('/', { replace: true });
    } else {
      setPassword('');
      document.getElementById('password')?.focus();
    }
  };

  return (
    <div class="auth-page">
      <div class="card auth-card">
        <h1>
          <Icon name="bell" size={26} /> Log in
        </h1>
        <p class="muted">A password protects this Tollwick Player.</p>
        <form onSubmit={submit} noValidate>
          <Field id="password" label="Password" error={error}>
            <input id="password" type="password" autoComplete="current-password" value={password} onInput={(e) => setPassword(e.currentTarget.value)} autoFocus {...described('password', error)} />
          </Field>
          <label class="check">
            <input type="checkbox" checked={remember} onChange={(e) => setRemember(e.currentTarget.checked)} />
            Keep me logged in on this computer
          </label>
          <Button type="submit" variant="primary" busy={login.busy} icon="right">
            Log in
          </Button>
          <Outcome action={login} />
        </form>
      </div>
    </div>
  );
}
