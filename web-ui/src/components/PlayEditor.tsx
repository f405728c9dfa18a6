// How one signal is played: which signal, and whether it repeats, how often and with what pause.
import type { ComponentChildren, JSX } from 'preact';
import { NULL_ID, type SignalRow } from '../api/types';
import { t } from '../i18n';
import { formatDuration } from '../lib/time';
import { signalName } from '../i18n/factoryNames';
import type { FieldErrors, PlayDraft } from '../lib/timetableForm';
import { ListenButton } from './Listen';
import { described, SignalSelect } from './ui';
import './PlayEditor.css';

/** A bell longer than this still sounds when the lesson has begun. */
export const LONG_BELL_SEC = 30;

interface Props {
  idBase: string;
  legend: ComponentChildren;
  value: PlayDraft;
  onChange: (value: PlayDraft) => void;
  signals: SignalRow[];
  errors: FieldErrors;
  path: string;
  children?: ComponentChildren;
}

export function PlayEditor({ idBase, legend, value, onChange, signals, errors, path, children }: Props) {
  const set = (patch: Partial<PlayDraft>) => onChange({ ...value, ...patch });
  const chosen = signals.find((s) => s.id === value.id);
  const deleted = value.id !== NULL_ID && !chosen;
  const long = chosen !== undefined && chosen.lengthSec > LONG_BELL_SEC;
  const selectId = `${idBase}-signal`;
  return (
    <fieldset class="play-editor">
      <legend>{legend}</legend>
      <div class={`field ${deleted ? 'field-invalid' : ''}`}>
        <label for={selectId}>{t('playEditor.signal')}</label>
        <div class="signal-choice">
          <SignalSelect id={selectId} value={value.id} onChange={(id) => set({ id })} signals={signals} extra={deleted ? { 'aria-describedby': `${selectId}-error` } : undefined} />
          {chosen && <ListenButton id={chosen.id} name={signalName(chosen.id, chosen.name)} />}
        </div>
        {deleted && (
          <small class="field-error" id={`${selectId}-error`}>
            {t('playEditor.signalDeleted')}
          </small>
        )}
        {long && (
          <small class="field-warning" data-testid="long-signal">
            {t('playEditor.longSignal', { length: formatDuration(chosen.lengthSec) })}
          </small>
        )}
      </div>
      {children}
      <div class="play-repeat">
        <label class="check">
          <input type="checkbox" checked={value.doRepeat} onChange={(e) => set({ doRepeat: e.currentTarget.checked })} />
          {t('playEditor.repeat')}
        </label>
        <RepeatNumber
          id={`${idBase}-iterations`}
          label={t('playEditor.repeats')}
          error={errors[`${path}.iterations`]}
          inputMode="numeric"
          min={1}
          max={100}
          step={1}
          value={value.iterations}
          disabled={!value.doRepeat}
          onInput={(e) => set({ iterations: e.currentTarget.value })}
        />
        <RepeatNumber
          id={`${idBase}-delay`}
          label={t('playEditor.pause')}
          error={errors[`${path}.delaySec`]}
          inputMode="decimal"
          min={0}
          max={600}
          step={0.1}
          value={value.delaySec}
          disabled={!value.doRepeat}
          onInput={(e) => set({ delaySec: e.currentTarget.value })}
        />
      </div>
    </fieldset>
  );
}

/** A small number input of the repeat settings; its error follows every change without an alert. */
function RepeatNumber({ id, label, error, ...input }: { id: string; label: string; error: string | undefined } & JSX.InputHTMLAttributes<HTMLInputElement>) {
  return (
    <div class={`field field-small ${error ? 'field-invalid' : ''}`}>
      <label for={id}>{label}</label>
      <input id={id} type="number" {...input} {...described(id, error)} />
      {error && (
        <small class="field-error" id={`${id}-error`}>
          {error}
        </small>
      )}
    </div>
  );
}
