import { t } from '../i18n';
import { useTitle } from '../lib/hooks';
import { Link } from '../router';

export function NotFound() {
  useTitle(t('notFound.title'));
  return (
    <div class="card">
      <h1>{t('notFound.title')}</h1>
      <p>
        {t('notFound.noPageHere')} <Link href="/">{t('notFound.toDashboard')}</Link>
      </p>
    </div>
  );
}
