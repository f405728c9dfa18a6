// A file chooser that checks the file first and shows the upload's progress to the end.
import { useRef, useState } from 'preact/hooks';
import { ApiError, uploadFile, type UploadFields } from '../api/client';
import { t } from '../i18n';
import { checkUploadFile, explainUploadRefusal, formatBytes } from '../lib/forms';
import { errorText } from '../lib/hooks';
import { Button, described, Outcome, ProgressBar } from './ui';
import { FilePicker } from './FilePicker';
import './UploadBox.css';

export interface UploadState {
  file: File | null;
  fileError: string | null;
  sent: number;
  total: number;
  busy: boolean;
  error: string | null;
  done: string | null;
}

export function useUpload() {
  const [state, setState] = useState<UploadState>({ file: null, fileError: null, sent: 0, total: 0, busy: false, error: null, done: null });
  const abortRef = useRef<(() => void) | null>(null);

  const choose = (file: File | null) =>
    setState({ file, fileError: file ? checkUploadFile(file) : null, sent: 0, total: 0, busy: false, error: null, done: null });

  /** Uploads the chosen file with `fields`; answers the new key, or null when it failed. */
  const start = async (fields: UploadFields, doneText: (key: string) => string): Promise<string | null> => {
    const problem = checkUploadFile(state.file);
    if (problem || !state.file) {
      setState((s) => ({ ...s, fileError: problem }));
      return null;
    }
    const file = state.file;
    setState((s) => ({ ...s, busy: true, error: null, done: null, sent: 0, total: file.size }));
    const upload = uploadFile(file, fields, (sent, total) => setState((s) => ({ ...s, sent, total })));
    abortRef.current = upload.abort;
    try {
      const key = await upload.done;
      setState((s) => ({ ...s, file: null, busy: false, sent: s.total, done: doneText(key) }));
      return key;
    } catch (e) {
      const refusal = e instanceof ApiError && e.status === 400 ? e.text.trim() : '';
      const message = refusal ? explainUploadRefusal(refusal) : errorText(e);
      setState((s) => ({ ...s, busy: false, error: message }));
      return null;
    } finally {
      abortRef.current = null;
    }
  };

  const cancel = () => abortRef.current?.();
  return { state, choose, start, cancel };
}

export function FileChooser({ id, label, upload }: { id: string; label: string; upload: ReturnType<typeof useUpload> }) {
  const { state } = upload;
  const inputRef = useRef<HTMLInputElement>(null);
  return (
    <div class={`field ${state.fileError ? 'field-invalid' : ''}`}>
      <label for={id}>{label}</label>
      <FilePicker
        inputRef={inputRef}
        id={id}
        accept=".wav,.mp3,audio/wav,audio/mpeg"
        file={state.file}
        disabled={state.busy}
        onChoose={(file) => upload.choose(file)}
        {...described(id, state.fileError, true)}
      />
      <small class="hint" id={`${id}-hint`}>
        {t('upload.hint')}
        {state.file && !state.fileError ? ` ${t('upload.chosen', { name: state.file.name, size: formatBytes(state.file.size) })}` : ''}
      </small>
      {state.fileError && (
        <small class="field-error" id={`${id}-error`} role="alert">
          {state.fileError}
        </small>
      )}
    </div>
  );
}

export function UploadProgress({ upload, label }: { upload: ReturnType<typeof useUpload>; label: string }) {
  const { state } = upload;
  const showBar = state.busy || state.done !== null || (state.total > 0 && state.error !== null);
  return (
    <div class="upload-progress">
      {showBar && (
        <div class="progress-row">
          <ProgressBar value={state.sent} max={state.total} label={label} />
          {state.busy && (
            <Button small onClick={upload.cancel}>
              {t('upload.cancel')}
            </Button>
          )}
        </div>
      )}
      <Outcome error={state.error} done={state.done} />
    </div>
  );
}
