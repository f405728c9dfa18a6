// Listening to a signal at the desk: the file plays in this browser only, never over the
// loudspeakers. One preview at a time; starting another stops the first.
import { useEffect, useState } from 'preact/hooks';
import { api } from '../api/client';
import { t, type MessageKey } from '../i18n';
import { Icon } from './Icon';
import './Listen.css';

type Listener = (playingId: string | null) => void;
const listeners = new Set<Listener>();
let element: HTMLAudioElement | null = null;
let playingId: string | null = null;
let failure: { id: string; message: MessageKey } | null = null;

function announce(id: string | null): void {
  playingId = id;
  for (const l of listeners) l(id);
}

/** The page's one audio element; it lives in the document so that it can be inspected like any other. */
function player(): HTMLAudioElement {
  if (element) return element;
  element = document.createElement('audio');
  element.hidden = true;
  element.preload = 'none';
  element.dataset.role = 'preview';
  element.addEventListener('ended', () => announce(null));
  // A pause that was queued by a change of file arrives after the new file started: ignore it.
  element.addEventListener('pause', () => {
    if (element?.paused) announce(null);
  });
  element.addEventListener('error', () => {
    if (playingId) failure = { id: playingId, message: 'listen.cannotPlay' };
    announce(null);
  });
  document.body.append(element);
  return element;
}

export function stopListening(): void {
  element?.pause();
}

async function listen(id: string): Promise<void> {
  const audio = player();
  failure = null;
  audio.src = api.signalFileUrl(id);
  announce(id);
  try {
    await audio.play();
  } catch {
    if (playingId === id) {
      failure = { id, message: 'listen.cannotPlay' };
      announce(null);
    }
  }
}

function usePreview(): string | null {
  const [id, setId] = useState(playingId);
  useEffect(() => {
    listeners.add(setId);
    return () => {
      listeners.delete(setId);
      // Leaving the page ends what was started on it.
      if (listeners.size === 0) stopListening();
    };
  }, []);
  return id;
}

/**
 * "Listen here" for one signal; while it sounds, the same button stops it. `iconOnly` keeps the
 * words for screen readers and the tooltip, where many signals stand side by side.
 */
export function ListenButton({ id, name, iconOnly = false }: { id: string; name: string; iconOnly?: boolean }) {
  const playing = usePreview() === id;
  const problem = failure?.id === id ? t(failure.message) : null;
  const words = playing ? t('listen.stop') : t('listen.start');
  return (
    <>
      <button
        type="button"
        class={`btn btn-plain btn-small listen-button ${iconOnly ? 'listen-icon' : ''}`}
        aria-pressed={playing}
        aria-label={playing ? t('listen.stopSignal', { name }) : t('listen.startSignal', { name })}
        title={t('listen.browserOnly', { words })}
        onClick={() => (playing ? stopListening() : void listen(id))}
      >
        <Icon name={playing ? 'stop' : 'headphones'} size={16} />
        {iconOnly ? <span class="visually-hidden">{words}</span> : words}
      </button>
      {problem && (
        <small class="field-error" role="alert">
          {problem}
        </small>
      )}
    </>
  );
}
