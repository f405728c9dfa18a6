// How one signal is played: which signal, and whether it repeats, how often and with what pause.
import type { ComponentChildren } from 'preact';
import type { SignalRow } from '../api/types';
import type { FieldErrors, PlayDraft } from '../lib/timetableForm';
import { described, SignalSelect } from './ui';

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
  const iterError = errors[`${path}.iterations`];
  const delayError = errors[`${path}.delaySec`];
  return (
    <fieldset class="play-editor">
      <legend>{legend}</legend>
      <div class="field">
        <label for={`${idBase}-signal`}>Signal</label>
        <SignalSelect id={`${idBase}-signal`} value={value.id} onChange={(id) => set({ id })} signals={signals} />
      </div>
      {children}
      <div class="play-repeat">
        <label class="check">
          <input type="checkbox" checked={value.doRepeat} onChange={(e) => set({ doRepeat: e.currentTarget.checked })} />
          Repeat
        </label>
        <div class={`field field-small ${iterError ? 'field-invalid' : ''}`}>
          <label for={`${idBase}-iterations`}>Times</label>
          <input
            id={`${idBase}-iterations`}
            type="number"
            inputMode="numeric"
            min={1}
            max={100}
            step={1}
            value={value.iterations}
            disabled={!value.doRepeat}
            onInput={(e) => set({ iterations: e.currentTarget.value })}
            {...described(`${idBase}-iterations`, iterError)}
          />
          {iterError && (
            <small class="field-error" id={`${idBase}-iterations-error`}>
              {iterError}
            </small>
          )}
        </div>
        <div class={`field field-small ${delayError ? 'field-invalid' : ''}`}>
          <label for={`${idBase}-delay`}>Pause (s)</label>
          <input
            id={`${idBase}-delay`}
            type="number"
            inputMode="decimal"
            min={0}
            max={3600}
            step={0.1}
            value={value.delaySec}
            disabled={!value.doRepeat}
            onInput={(e) => set({ delaySec: e.currentTarget.value })}
            {...described(`${idBase}-delay`, delayError)}
          />
          {delayError && (
            <small class="field-error" id={`${idBase}-delay-error`}>
              {delayError}
            </small>
          )}
        </div>
      </div>
    </fieldset>
  );
}
