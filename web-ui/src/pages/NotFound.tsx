import { useTitle } from '../lib/hooks';
import { Link } from '../router';

export function NotFound() {
  useTitle('Page not found');
  return (
    <div class="card">
      <h1>Page not found</h1>
      <p>
        There is no page at this address. <Link href="/">Go to the dashboard</Link>
      </p>
    </div>
  );
}
