// A date typed as text in the language's own way ("08/12/2026", "2026. 12. 08.", "08.12.2026"),
// whatever the browser's own language. Its value is the stored form "2026-12-08". What was typed
// is read when the field is left or Enter is pressed, and then shown in the language's form.
import { useLayoutEffect, useRef, useState } from 'preact/hooks';
import { t, useLocale } from '../i18n';
import { browserToday, numericDate, parseLocalDate } from '../i18n/format';
import { compareDates, formatDate, parseDate, type CalendarDate } from '../lib/time';
import './DateInput.css';

export interface DateReading {
  /** For `onChange`: the stored form of a date, "" for an empty field, else the text as typed. */
  value: string;
  date: CalendarDate | null;
  /** Why the text is no date, or why the date is outside `min`/`max`. */
  problem: string | null;
}

/** Reads what was typed, against the limits `min` and `max` (stored forms). */
export function readDateField(text: string, limits: { min?: string; max?: string } = {}, today: CalendarDate = browserToday()): DateReading {
  const trimmed = text.trim();
  if (trimmed === '') return { value: '', date: null, problem: null };
  const parsed = parseLocalDate(trimmed, today);
  if (!parsed.ok) return { value: trimmed, date: null, problem: parsed.error };
  const date = parsed.value;
  const min = limits.min ? parseDate(limits.min) : null;
  const max = limits.max ? parseDate(limits.max) : null;
  let problem: string | null = null;
  if (min?.ok && compareDates(date, min.value) < 0) problem = t('dateInput.beforeMin', { min: numericDate(min.value) });
  else if (max?.ok && compareDates(date, max.value) > 0) problem = t('dateInput.afterMax', { max: numericDate(max.value) });
  return { value: formatDate(date), date, problem };
}

/** A stored date in the language's form; any other text as it is. */
function shownForm(value: string): string {
  const parsed = parseDate(value);
  return parsed.ok ? numericDate(parsed.value) : value;
}

interface Props {
  id: string;
  /** The stored form "YYYY-MM-DD", or "" for none. */
  value: string;
  /** Called when the field is left or Enter is pressed, with `DateReading.value`. */
  onChange: (value: string) => void;
  min?: string;
  max?: string;
  /** As `described` gives them: ties the input to its field's hint and error. */
  'aria-invalid'?: boolean;
  'aria-describedby'?: string;
  class?: string;
}

export function DateInput({ id, value, onChange, min, max, class: className, 'aria-invalid': invalid, 'aria-describedby': describedBy }: Props) {
  useLocale();
  // What is typed, or a text that was read and refused; null shows the value.
  const [draft, setDraft] = useState<string | null>(null);
  const [typing, setTyping] = useState(false);
  // The value this field last handed on: coming back as `value`, it keeps the draft.
  const handed = useRef<string | null>(null);

  // A new value from outside (a day picked in the calendar, a form cleared) replaces what is
  // shown, but never text being typed: the form may fill this field from another one while the
  // user types here, and what she typed is read when she leaves the field.
  // Read when the value comes, not from the render that brought it: an effect may run after the
  // next keystrokes.
  const typingNow = useRef(false);
  useLayoutEffect(() => {
    if (value === handed.current || typingNow.current) return;
    setDraft(null);
  }, [value]);

  const shown = draft ?? shownForm(value);
  const reading = typing ? null : readDateField(shown, { min, max });
  // When the form marks the field invalid, the form's error gives the reason: it is not said twice.
  const ownProblem = reading?.problem && !invalid ? reading.problem : null;
  const problemId = `${id}-reading`;

  const commit = (text: string) => {
    typingNow.current = false;
    setTyping(false);
    const read = readDateField(text, { min, max });
    setDraft(read.problem ? (read.date ? numericDate(read.date) : read.value) : null);
    if (read.value !== value) {
      handed.current = read.value;
      onChange(read.value);
    }
  };

  return (
    <>
      <input
        id={id}
        class={`date-input ${className ?? ''}`}
        type="text"
        autoComplete="off"
        spellcheck={false}
        value={shown}
        aria-invalid={invalid || ownProblem ? true : undefined}
        aria-describedby={[describedBy, ownProblem ? problemId : ''].filter(Boolean).join(' ') || undefined}
        onInput={(e) => {
          typingNow.current = true;
          setDraft(e.currentTarget.value);
          setTyping(true);
        }}
        onBlur={(e) => typing && commit(e.currentTarget.value)}
        onKeyDown={(e) => {
          if (e.key !== 'Enter') return;
          // The form is sent once the date read here is its own: sent at once, as the browser
          // would, it would go with the date the field held before.
          e.preventDefault();
          const form = e.currentTarget.form;
          commit(e.currentTarget.value);
          window.setTimeout(() => form?.requestSubmit(), 0);
        }}
      />
      {ownProblem && (
        <small class="field-error" id={problemId} role="alert">
          {ownProblem}
        </small>
      )}
    </>
  );
}
