// Client-side pages with real paths: the server answers every page path with index.html, so a
// reload or a shared link opens the same page, and the browser's back button walks the history.
import type { ComponentChildren, JSX } from 'preact';
import { useEffect, useState } from 'preact/hooks';

type Listener = () => void;
const listeners = new Set<Listener>();
/** The address shown, so that a refused "back" can put it back. */
let shown = typeof window !== 'undefined' ? window.location.pathname + window.location.search : '/';

function notify(): void {
  shown = window.location.pathname + window.location.search;
  for (const listener of listeners) listener();
}

/** Asked before the page is left; answers whether leaving is fine (a page with unsaved work asks the user). */
export type LeaveGuard = () => Promise<boolean>;
let guard: LeaveGuard | null = null;

/** Installs the question asked before leaving the page; the answer removes it again. */
export function setLeaveGuard(next: LeaveGuard | null): () => void {
  guard = next;
  return () => {
    if (guard === next) guard = null;
  };
}

/** Whether the page may be left now: asks the page's guard, if it has one. */
export async function mayLeave(): Promise<boolean> {
  return guard ? guard() : true;
}

if (typeof window !== 'undefined')
  window.addEventListener('popstate', () => {
    if (!guard) return notify();
    // The browser has already moved: show the page's address again until the user agrees.
    const target = window.location.pathname + window.location.search;
    window.history.pushState(null, '', shown);
    void mayLeave().then((yes) => {
      if (yes) {
        guard = null;
        navigate(target);
      }
    });
  });

export interface Location {
  path: string;
  query: URLSearchParams;
}

function current(): Location {
  return { path: window.location.pathname, query: new URLSearchParams(window.location.search) };
}

/**
 * Shows the page at `to`. A page with unsaved work is asked first, unless `force` (the login is
 * lost, so the work could not be saved anyway).
 */
export function navigate(to: string, options: { replace?: boolean; force?: boolean } = {}): void {
  const here = window.location.pathname + window.location.search;
  if (to === here) return;
  const go = () => {
    if (options.replace) window.history.replaceState(null, '', to);
    else window.history.pushState(null, '', to);
    notify();
  };
  if (!guard || options.force) return go();
  void mayLeave().then((yes) => {
    if (yes) {
      guard = null;
      go();
    }
  });
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
