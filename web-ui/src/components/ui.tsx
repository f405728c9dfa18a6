// Small building blocks shared by the pages.
import type { ComponentChildren, JSX } from 'preact';
import { useEffect, useRef, useState } from 'preact/hooks';
import { NULL_ID, type NamedId, type SignalRow } from '../api/types';
import { t } from '../i18n';
import { signalName, timetableName } from '../i18n/factoryNames';
import { explainServerText } from '../i18n/serverTexts';
import type { Action } from '../lib/hooks';
import { Link } from '../router';
import { Icon, type IconName } from './Icon';
import './ui.css';

/**
 * The outcome of an action, shown right where it was taken. A refusal in the server's words is
 * shown in the active language when the interface knows it.
 */
export function Outcome({ action, error, done }: { action?: Action; error?: string | null; done?: string | null }) {
  const refusal = error ?? action?.error ?? null;
  const shownError = refusal && explainServerText(refusal);
  const shownDone = done ?? action?.done ?? null;
  return (
    <>
      {shownError && (
        <p class="notice notice-error" role="alert">
          <Icon name="alarm" size={18} />
          <span>{shownError}</span>
        </p>
      )}
      {!shownError && shownDone && (
        <p class="notice notice-ok" role="status">
          <Icon name="check" size={18} />
          <span>{shownDone}</span>
        </p>
      )}
    </>
  );
}

export function LoadError({ error, retry }: { error: string; retry: () => void }) {
  return (
    <div class="notice notice-error" role="alert">
      <Icon name="alarm" size={18} />
      <span>{explainServerText(error)}</span>
      <button type="button" class="btn btn-small" onClick={retry}>
        {t('ui.tryAgain')}
      </button>
    </div>
  );
}

export function Loading({ label }: { label?: string }) {
  return (
    <p class="loading" role="status">
      <span class="spinner" aria-hidden="true" /> {label ?? t('ui.loading')}
    </p>
  );
}

interface FieldProps {
  id: string;
  label: ComponentChildren;
  error?: string | undefined | null;
  hint?: ComponentChildren;
  children: ComponentChildren;
  class?: string;
}

/** A labelled control with its hint and its error; the control must carry the same `id`. */
export function Field({ id, label, error, hint, children, class: className }: FieldProps) {
  return (
    <div class={`field ${error ? 'field-invalid' : ''} ${className ?? ''}`}>
      <label for={id}>{label}</label>
      {children}
      {hint && (
        <small class="hint" id={`${id}-hint`}>
          {hint}
        </small>
      )}
      {error && (
        <small class="field-error" id={`${id}-error`} role="alert">
          {error}
        </small>
      )}
    </div>
  );
}

/** aria attributes that tie a control to its Field's hint and error. */
export function described(id: string, error?: string | null, hasHint = false): { 'aria-invalid'?: boolean; 'aria-describedby'?: string } {
  const ids = [hasHint ? `${id}-hint` : '', error ? `${id}-error` : ''].filter(Boolean).join(' ');
  return { 'aria-invalid': error ? true : undefined, 'aria-describedby': ids || undefined };
}

export function ProgressBar({ value, max, label }: { value: number; max: number; label: string }) {
  const percent = max > 0 ? Math.min(100, Math.round((value / max) * 100)) : 0;
  return (
    <div class="progress">
      <progress value={percent} max={100} aria-label={label} />
      <span class="progress-text" aria-live="polite">
        {percent}%
      </span>
    </div>
  );
}

type ButtonProps = JSX.HTMLAttributes<HTMLButtonElement> & {
  icon?: IconName;
  variant?: 'primary' | 'danger' | 'ghost' | 'plain';
  small?: boolean;
  busy?: boolean;
  type?: 'button' | 'submit';
  disabled?: boolean;
};

export function Button({ icon, variant = 'plain', small, busy, children, type = 'button', disabled, ...rest }: ButtonProps) {
  return (
    <button
      type={type}
      class={`btn btn-${variant}${small ? ' btn-small' : ''}`}
      disabled={disabled || busy}
      aria-busy={busy ? true : undefined}
      {...rest}
    >
      {busy ? <span class="spinner" aria-hidden="true" /> : icon && <Icon name={icon} size={small ? 16 : 18} />}
      {children}
    </button>
  );
}

/** A link to another page that looks like a small button with its icon. */
export function ButtonLink({ href, icon, variant = 'ghost', children }: { href: string; icon: IconName; variant?: 'ghost' | 'plain'; children: ComponentChildren }) {
  return (
    <Link href={href} class={`btn btn-${variant} btn-small`}>
      <Icon name={icon} size={16} /> {children}
    </Link>
  );
}

export interface ConfirmOptions {
  title: string;
  message: ComponentChildren;
  confirmLabel: string;
  danger?: boolean;
}

/**
 * A modal question (a native dialog: focus stays inside, Escape cancels). Render `element`
 * once in the page and await `ask(...)`.
 */
export function useConfirm(): { element: JSX.Element; ask: (options: ConfirmOptions) => Promise<boolean> } {
  const dialogRef = useRef<HTMLDialogElement>(null);
  const resolveRef = useRef<((answer: boolean) => void) | null>(null);
  const [options, setOptions] = useState<ConfirmOptions | null>(null);

  useEffect(() => {
    const dialog = dialogRef.current;
    if (options && dialog && !dialog.open) dialog.showModal();
  }, [options]);

  const finish = (answer: boolean) => {
    const resolve = resolveRef.current;
    resolveRef.current = null;
    dialogRef.current?.close();
    setOptions(null);
    resolve?.(answer);
  };

  const element = (
    <dialog
      ref={dialogRef}
      class={`confirm ${options?.danger ? 'confirm-danger' : ''}`}
      aria-labelledby="confirm-title"
      onCancel={(e) => {
        e.preventDefault();
        finish(false);
      }}
    >
      {options && (
        <form
          method="dialog"
          onSubmit={(e) => {
            e.preventDefault();
            finish(true);
          }}
        >
          <h2 id="confirm-title">{options.title}</h2>
          <div class="confirm-message">{options.message}</div>
          <div class="confirm-actions">
            <button type="button" class="btn btn-plain" onClick={() => finish(false)} autoFocus>
              {t('ui.cancel')}
            </button>
            <button type="submit" class={`btn ${options.danger ? 'btn-danger' : 'btn-primary'}`}>
              {options.confirmLabel}
            </button>
          </div>
        </form>
      )}
    </dialog>
  );

  const ask = (next: ConfirmOptions) =>
    new Promise<boolean>((resolve) => {
      resolveRef.current?.(false);
      resolveRef.current = resolve;
      setOptions(next);
    });

  return { element, ask };
}

/**
 * A modal form, shown while `open`: the same native dialog as `useConfirm`, but its fields are
 * the caller's own, so that they keep their state and show their errors while it is open.
 * Escape and "Cancel" call `onClose`; sending the form calls `onSubmit`.
 */
export function FormDialog({
  open,
  id,
  title,
  submitLabel,
  busy,
  onSubmit,
  onClose,
  children,
}: {
  open: boolean;
  id: string;
  title: string;
  submitLabel: string;
  busy?: boolean;
  onSubmit: () => void;
  onClose: () => void;
  children: ComponentChildren;
}) {
  const dialogRef = useRef<HTMLDialogElement>(null);
  useEffect(() => {
    const dialog = dialogRef.current;
    if (!dialog) return;
    if (open && !dialog.open) dialog.showModal();
    if (!open && dialog.open) dialog.close();
  }, [open]);
  return (
    <dialog
      ref={dialogRef}
      id={id}
      class="confirm form-dialog"
      aria-labelledby={`${id}-title`}
      onCancel={(e) => {
        e.preventDefault();
        onClose();
      }}
    >
      {open && (
        <form
          method="dialog"
          noValidate
          onSubmit={(e) => {
            e.preventDefault();
            onSubmit();
          }}
        >
          <h2 id={`${id}-title`}>{title}</h2>
          <div class="confirm-message">{children}</div>
          <div class="confirm-actions">
            <button type="button" class="btn btn-plain" onClick={onClose}>
              {t('ui.cancel')}
            </button>
            <Button type="submit" variant="primary" busy={busy}>
              {submitLabel}
            </Button>
          </div>
        </form>
      )}
    </dialog>
  );
}

interface SelectProps {
  id: string;
  value: string;
  onChange: (value: string) => void;
  disabled?: boolean;
  extra?: JSX.HTMLAttributes<HTMLSelectElement>;
}

/** Choice of a signal; "NULL" stands for no signal. A signal that is gone stays visible as such. */
export function SignalSelect({ id, value, onChange, signals, allowNone = true, disabled, extra }: SelectProps & { signals: SignalRow[]; allowNone?: boolean }) {
  const known = value === NULL_ID || signals.some((s) => s.id === value);
  return (
    <select id={id} value={value} disabled={disabled} onChange={(e) => onChange(e.currentTarget.value)} {...extra}>
      {allowNone && <option value={NULL_ID}>{t('ui.noSignal')}</option>}
      {!known && <option value={value}>{t('ui.deletedSignal')}</option>}
      {signals.map((s) => (
        <option key={s.id} value={s.id}>
          {signalName(s.id, s.name)}
        </option>
      ))}
    </select>
  );
}

/** Choice of a timetable, with "No bells" for none. */
export function TimetableSelect({ id, value, onChange, timetables, disabled, extra, placeholder }: SelectProps & { timetables: NamedId[]; placeholder?: string }) {
  const known = value === '' || value === NULL_ID || timetables.some((timetable) => timetable.id === value);
  return (
    <select id={id} value={value} disabled={disabled} onChange={(e) => onChange(e.currentTarget.value)} {...extra}>
      {placeholder !== undefined && (
        <option value="" disabled>
          {placeholder}
        </option>
      )}
      {timetables.map((timetable) => (
        <option key={timetable.id} value={timetable.id}>
          {timetableName(timetable.id, timetable.name)}
        </option>
      ))}
      <option value={NULL_ID}>{t('ui.noBells')}</option>
      {!known && <option value={value}>{t('ui.deletedTimetable')}</option>}
    </select>
  );
}

export function PageHeader({ title, children }: { title: string; children?: ComponentChildren }) {
  return (
    <header class="page-header">
      <h1>{title}</h1>
      {children && <div class="page-actions">{children}</div>}
    </header>
  );
}

export function Card({ title, children, class: className, id, actions }: { title?: ComponentChildren; children: ComponentChildren; class?: string; id?: string; actions?: ComponentChildren }) {
  const headingId = id ? `${id}-title` : undefined;
  return (
    <section class={`card ${className ?? ''}`} id={id} aria-labelledby={title ? headingId : undefined}>
      {(title || actions) && (
        <div class="card-head">
          {title && <h2 id={headingId}>{title}</h2>}
          {actions && <div class="card-actions">{actions}</div>}
        </div>
      )}
      {children}
    </section>
  );
}

/** The header row of a list table; the last column holds each row's buttons. */
export function TableHead({ columns }: { columns: string[] }) {
  return (
    <thead>
      <tr>
        {columns.map((name) => (
          <th key={name} scope="col">
            {name}
          </th>
        ))}
        <th scope="col">
          <span class="visually-hidden">{t('ui.actions')}</span>
        </th>
      </tr>
    </thead>
  );
}
