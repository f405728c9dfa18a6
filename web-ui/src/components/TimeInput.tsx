// A time of day typed as text on the 24-hour clock, seconds optional. It shows what was typed
// and tidies it to the stored form ("8.5" → "08:05") when the field is left.
import { t } from '../i18n';
import { normaliseTime } from '../lib/time';
import './TimeInput.css';

interface Props {
  id: string;
  value: string;
  onChange: (value: string) => void;
  /** As `described` gives them: ties the input to its hint and error. */
  'aria-invalid'?: boolean;
  'aria-describedby'?: string;
  class?: string;
}

export function TimeInput({ value, onChange, class: className, ...rest }: Props) {
  return (
    <input
      {...rest}
      class={`time-input ${className ?? ''}`}
      type="text"
      inputMode="decimal"
      autoComplete="off"
      spellcheck={false}
      placeholder={t('timeInput.placeholder')}
      maxLength={8}
      value={value}
      onInput={(e) => onChange(e.currentTarget.value)}
      onBlur={(e) => {
        const tidy = normaliseTime(e.currentTarget.value);
        if (tidy.ok && tidy.value !== e.currentTarget.value) onChange(tidy.value);
      }}
    />
  );
}
