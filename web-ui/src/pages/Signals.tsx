// The signals: play on the loudspeakers or listen here, download, delete, and upload new ones.
import { useRef } from 'preact/hooks';
import { api } from '../api/client';
import { AssetCategory, type SignalRow } from '../api/types';
import { Icon } from '../components/Icon';
import { ListenButton } from '../components/Listen';
import { FileChooser, UploadProgress, useUpload } from '../components/UploadBox';
import { Button, Card, LoadError, Loading, Outcome, PageHeader, TableHead, useConfirm } from '../components/ui';
import { extensionOf } from '../lib/forms';
import { soundNoteMs, useAction, useLoad, useTitle } from '../lib/hooks';
import { formatDuration } from '../lib/time';
import { signalUsers, usedBySentence } from '../lib/usage';
import './Signals.css';

export function SignalsPage() {
  useTitle('Signals');
  const signals = useLoad(() => api.signals());
  const upload = useUpload();
  const formRef = useRef<HTMLFormElement>(null);

  const submit = async (e: Event) => {
    e.preventDefault();
    const key = await upload.start({}, () => `Uploaded “${upload.state.file?.name ?? ''}”. It is now among the signals below.`);
    if (key) {
      formRef.current?.reset();
      await signals.reload();
    }
  };

  return (
    <div>
      <PageHeader title="Signals" />
      <Card title="Upload a signal" id="upload-signal">
        <form ref={formRef} onSubmit={submit} noValidate class="upload-form">
          <FileChooser id="signal-file" label="Sound file" upload={upload} />
          <Button type="submit" variant="primary" icon="upload" busy={upload.state.busy} disabled={!upload.state.file || !!upload.state.fileError}>
            Upload
          </Button>
        </form>
        <UploadProgress upload={upload} label="Upload progress" />
      </Card>
      <Card title="All signals" id="signal-list">
        {signals.error && !signals.data && <LoadError error={signals.error} retry={signals.reload} />}
        {!signals.data && !signals.error && <Loading />}
        {signals.data && (
          <table class="table signals-table">
            <TableHead columns={['Name', 'Length', 'Kind']} />
            <tbody>
              {signals.data.map((s) => (
                <SignalItem key={s.id} signal={s} onChanged={signals.reload} />
              ))}
            </tbody>
          </table>
        )}
      </Card>
    </div>
  );
}

function SignalItem({ signal, onChanged }: { signal: SignalRow; onChanged: () => Promise<void> }) {
  const action = useAction();
  const confirm = useConfirm();
  const builtIn = signal.storageCategory === AssetCategory.BUILT_IN_SIGNAL;
  const ext = extensionOf(signal.filename) || 'mp3';
  const remove = async () => {
    // Asked at the moment of deleting, so the answer is about the timetables as they are now.
    const users = await api.db().then(
      (db) => signalUsers(signal.id, db),
      () => null,
    );
    const use =
      users === null
        ? 'Timetables that use it will play nothing in its place.'
        : users.length
          ? `${usedBySentence(users, '')} Nothing will sound there until another signal is chosen.`
          : 'No timetable and no setting uses it.';
    const yes = await confirm.ask({
      title: `Delete “${signal.name}”?`,
      message: (
        <>
          <p>{builtIn ? 'This is a built-in signal: it comes back at the next start of Tollwick Player.' : 'The uploaded file is deleted.'}</p>
          <p class={users?.length ? 'confirm-users' : undefined}>{use}</p>
        </>
      ),
      confirmLabel: 'Delete',
      danger: true,
    });
    if (yes)
      await action.run(async () => {
        await api.trigger('deleteSignal', signal.id);
        await onChanged();
      });
  };
  return (
    <tr data-testid="signal-row">
      <th scope="row" class="signal-title">
        {signal.name}
      </th>
      <td data-label="Length">{formatDuration(signal.lengthSec)}</td>
      <td data-label="Kind">
        <span class={`chip ${builtIn ? '' : 'chip-accent'}`}>{builtIn ? 'Built-in' : 'Uploaded'}</span>
      </td>
      <td class="cell-actions">
        <div class="row-actions">
          <Button
            small
            icon="speaker"
            aria-label={`Play ${signal.name} on the loudspeakers`}
            busy={action.busy}
            onClick={() => action.run(() => api.trigger('playSignal', signal.id), `Playing “${signal.name}” on the loudspeakers`, soundNoteMs(signal.lengthSec))}
          >
            Play on the loudspeakers
          </Button>
          <ListenButton id={signal.id} name={signal.name} />
          <a class="btn btn-plain btn-small" href={api.signalFileUrl(signal.id)} download={`${signal.name}.${ext}`} aria-label={`Download ${signal.name}`}>
            <Icon name="download" size={16} /> Download
          </a>
          <Button small variant="danger" icon="trash" aria-label={`Delete ${signal.name}`} onClick={remove}>
            Delete
          </Button>
        </div>
        <Outcome action={action} />
        {confirm.element}
      </td>
    </tr>
  );
}
