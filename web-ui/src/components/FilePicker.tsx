// A file field that speaks the interface's language. The browser's own file input names its
// button and "no file" in the browser's language; here the input lies, invisible, over a button
// and a name of our own, so that a click anywhere on them opens the browser's file dialog.
import type { Ref } from 'preact';
import { t } from '../i18n';
import { Icon } from './Icon';
import './FilePicker.css';

interface Props {
  id: string;
  accept: string;
  file: File | null;
  onChoose: (file: File | null) => void;
  disabled?: boolean;
  inputRef?: Ref<HTMLInputElement>;
  'aria-invalid'?: boolean;
  'aria-describedby'?: string;
}

export function FilePicker({ id, accept, file, onChoose, disabled, inputRef, ...aria }: Props) {
  return (
    <span class={`file-picker ${disabled ? 'is-disabled' : ''}`}>
      <span class="btn btn-plain file-picker-button" aria-hidden="true">
        <Icon name="upload" size={18} />
        {t('filePicker.choose')}
      </span>
      <span class="file-picker-name" aria-hidden="true">
        {file ? file.name : t('filePicker.none')}
      </span>
      <input
        ref={inputRef}
        id={id}
        type="file"
        accept={accept}
        disabled={disabled}
        onChange={(e) => onChoose(e.currentTarget.files?.[0] ?? null)}
        {...aria}
      />
    </span>
  );
}
