// The signals: play on the loudspeakers or listen here, download, delete, and upload new ones.
import { useEffect, useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import { AssetCategory, type SignalRow } from '../api/types';
import { Icon } from '../components/Icon';
import { ListenButton } from '../components/Listen';
import { FileChooser, UploadProgress, useUpload } from '../components/UploadBox';
import { Button, Card, described, Field, LoadError, Loading, Outcome, PageHeader, TableHead, useConfirm } from '../components/ui';
import { extensionOf, nameTooLong } from '../lib/forms';
import { soundNoteMs, useAction, useLoad, useTitle } from '../lib/hooks';
import { formatDuration } from '../lib/time';
import { signalUsers, usedBySentence } from '../lib/usage';
import { PRODUCT_NAME, t, type MessageKey } from '../i18n';
import { signalName } from '../i18n/factoryNames';
import './Signals.css';

const COLUMNS: MessageKey[] = ['signals.name', 'signals.length', 'signals.kind'];

/** A file's name without its extension, as the server names a signal by default. */
const fileStem = (fileName: string): string => fileName.replace(/\.[^.]*$/, '');

export function SignalsPage() {
  useTitle(t('signals.title'));
  const signals = useLoad(() => api.signals());
  const upload = useUpload();
  const formRef = useRef<HTMLFormElement>(null);
  // The name the signal will have: the file's own until someone types another.
  const [name, setName] = useState('');
  const file = upload.state.file;
  useEffect(() => setName(file ? fileStem(file.name) : ''), [file]);
  const nameError = nameTooLong(name) ? t('forms.nameTooLong') : null;

  const submit = async (e: Event) => {
    e.preventDefault();
    if (nameError) return;
    const shown = name.trim() || fileStem(file?.name ?? '');
    const key = await upload.start({ signalName: name.trim() }, () => t('signals.uploaded', { file: shown }));
    if (key) {
      formRef.current?.reset();
      await signals.reload();
    }
  };

  return (
    <div>
      <PageHeader title={t('signals.title')} />
      <Card title={t('signals.uploadTitle')} id="upload-signal">
        <form ref={formRef} onSubmit={submit} noValidate class="upload-form">
          <FileChooser id="signal-file" label={t('signals.soundFile')} upload={upload} />
          <Field id="signal-name" label={t('signals.newName')} hint={t('signals.newNameHint')} error={nameError}>
            <input id="signal-name" type="text" value={name} disabled={!file || upload.state.busy} onInput={(e) => setName(e.currentTarget.value)} {...described('signal-name', nameError, true)} />
          </Field>
          <Button type="submit" variant="primary" icon="upload" busy={upload.state.busy} disabled={!upload.state.file || !!upload.state.fileError}>
            {t('signals.upload')}
          </Button>
        </form>
        <UploadProgress upload={upload} label={t('signals.uploadProgress')} />
      </Card>
      <Card title={t('signals.allSignals')} id="signal-list">
        {signals.error && !signals.data && <LoadError error={signals.error} retry={signals.reload} />}
        {!signals.data && !signals.error && <Loading />}
        {signals.data && (
          <table class="table signals-table">
            <TableHead columns={COLUMNS.map((column) => t(column))} />
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
  const name = signalName(signal.id, signal.name);
  const remove = async () => {
    // Asked at the moment of deleting, so the answer is about the timetables as they are now.
    const users = await api.db().then(
      (db) => signalUsers(signal.id, db),
      () => null,
    );
    const use =
      users === null
        ? t('signals.deleteUsersUnknown')
        : users.length
          ? t('signals.deleteUsed', { users: usedBySentence(users, '') })
          : t('signals.deleteUnused');
    const yes = await confirm.ask({
      title: t('signals.deleteTitle', { name }),
      message: (
        <>
          <p>{builtIn ? t('signals.deleteBuiltIn', { product: PRODUCT_NAME }) : t('signals.deleteUploaded')}</p>
          <p class={users?.length ? 'confirm-users' : undefined}>{use}</p>
        </>
      ),
      confirmLabel: t('signals.delete'),
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
        {name}
      </th>
      <td data-label={t('signals.length')}>{formatDuration(signal.lengthSec)}</td>
      <td data-label={t('signals.kind')}>
        <span class={`chip ${builtIn ? '' : 'chip-accent'}`}>{builtIn ? t('signals.builtIn') : t('signals.uploadedKind')}</span>
      </td>
      <td class="cell-actions">
        <div class="row-actions">
          <Button
            small
            icon="speaker"
            aria-label={t('signals.playLabel', { name })}
            busy={action.busy}
            onClick={() => action.run(() => api.trigger('playSignal', signal.id), t('signals.playing', { name }), soundNoteMs(signal.lengthSec))}
          >
            {t('signals.playOnLoudspeakers')}
          </Button>
          <ListenButton id={signal.id} name={name} />
          <a class="btn btn-plain btn-small" href={api.signalFileUrl(signal.id)} download={`${name}.${ext}`} aria-label={t('signals.downloadLabel', { name })}>
            <Icon name="download" size={16} /> {t('signals.download')}
          </a>
          <Button small variant="danger" icon="trash" aria-label={t('signals.deleteLabel', { name })} onClick={remove}>
            {t('signals.delete')}
          </Button>
        </div>
        <Outcome action={action} />
        {confirm.element}
      </td>
    </tr>
  );
}
