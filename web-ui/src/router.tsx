// Client-side pages with real paths: the server answers every page path with index.html, so a
// reload or a shared link opens the same page, and the browser's back button walks the history.
import type { ComponentChildren, JSX } from 'preact';
import { useEffect, useState } from 'preact/hooks';

type Listener = () => void;
const listeners = new Set<Listener>();

function notify(): void {
  for (const listener of listeners) listener();
}

if (typeof window !== 'undefined') window.addEventListener('popstate', notify);

export interface Location {
  path: string;
  query: URLSearchParams;
}

function current(): Location {
  return { path: window.location.pathname, query: new URLSearchParams(window.location.search) };
}

export function navigate(to: string, options: { replace?: boolean } = {}): void {
  const here = window.location.pathname + window.location.search;
  if (to === here) return;
  if (options.replace) window.history.replaceState(null, '', to);
  else window.history.pushState(null, '', to);
  notify();
}

export function useLocation(): Location {
  const [location, setLocation] = useState(current);
  useEffect(() => {
    const listener = () => setLocation(current());
    listeners.add(listener);
    return () => void listeners.delete(listener);
  }, []);
  return location;
}

/** Matches "/timetables/:id" style patterns; answers the named segments, or null. */
export function matchPath(pattern: string, path: string): Record<string, string> | null {
  const want = pattern.split('/').filter(Boolean);
  const have = path.split('/').filter(Boolean);
  if (want.length !== have.length) return null;
  const params: Record<string, string> = {};
  for (let i = 0; i < want.length; i++) {
    if (want[i].startsWith(':')) params[want[i].slice(1)] = decodeURIComponent(have[i]);
    else if (want[i] !== have[i]) return null;
  }
  return params;
}

type LinkProps = JSX.HTMLAttributes<HTMLAnchorElement> & { href: string; children?: ComponentChildren };

export function Link({ href, onClick, ...rest }: LinkProps) {
  const handle = (event: JSX.TargetedMouseEvent<HTMLAnchorElement>) => {
    if (typeof onClick === 'function') onClick(event);
    if (event.defaultPrevented || event.button !== 0 || event.metaKey || event.ctrlKey || event.shiftKey || event.altKey) return;
    event.preventDefault();
    navigate(href);
  };
  return <a href={href} onClick={handle} {...rest} />;
}
