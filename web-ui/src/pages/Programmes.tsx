// Programmes: recordings uploaded for a date and time, and announcements of the online service.
import { useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import type { ProgrammeRow } from '../api/types';
import { DateInput } from '../components/DateInput';
import { FileChooser, UploadProgress, useUpload } from '../components/UploadBox';
import { Button, Card, described, Field, LoadError, Loading, Outcome, PageHeader, TableHead, useConfirm } from '../components/ui';
import { checkAnnouncementCode, checkSchedule, type ScheduleInput } from '../lib/forms';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { compareTimes, describeDate, formatDuration } from '../lib/time';
import { TimeInput } from '../components/TimeInput';
import { sayTime } from '../lib/playLog';
import { readRecentCodes, rememberCode } from '../lib/recentCodes';
import { t, type MessageKey } from '../i18n';
import './Programmes.css';

const COLUMNS: MessageKey[] = ['programmes.date', 'programmes.time', 'programmes.name', 'programmes.length'];

const emptySchedule = (): ScheduleInput => ({ name: '', date: '', time: '' });

function sortProgrammes(rows: ProgrammeRow[]): ProgrammeRow[] {
  return rows.slice().sort((a, b) => a.date.localeCompare(b.date) || compareTimes(a.time, b.time));
}

export function ProgrammesPage() {
  useTitle(t('programmes.title'));
  const info = useLoad(() => api.programmeInfo());

  return (
    <div>
      <PageHeader title={t('programmes.heading')} />
      <div class="two-columns">
        <SongUpload onAdded={info.reload} today={info.data?.date} />
        <Announcements onAdded={info.reload} today={info.data?.date} />
      </div>
      <Card title={t('programmes.scheduled')} id="programme-list">
        {info.error && !info.data && <LoadError error={info.error} retry={info.reload} />}
        {!info.data && !info.error && <Loading />}
        {info.data && info.data.programmes.length === 0 && <p class="muted">{t('programmes.nothingScheduled')}</p>}
        {info.data && info.data.programmes.length > 0 && (
          <table class="table">
            <TableHead columns={COLUMNS.map((column) => t(column))} />
            <tbody>
              {sortProgrammes(info.data.programmes).map((p) => (
                <ProgrammeItem key={p.id} programme={p} isToday={p.date === info.data!.date} onChanged={info.reload} />
              ))}
            </tbody>
          </table>
        )}
      </Card>
    </div>
  );
}

function ProgrammeItem({ programme, isToday, onChanged }: { programme: ProgrammeRow; isToday: boolean; onChanged: () => Promise<void> }) {
  const action = useAction();
  const confirm = useConfirm();
  const remove = async () => {
    const yes = await confirm.ask({
      title: t('programmes.deleteTitle', { name: programme.programName }),
      message: <p>{t('programmes.deleteText', { date: describeDate(programme.date), time: sayTime(programme.time) })}</p>,
      confirmLabel: t('programmes.delete'),
      danger: true,
    });
    if (yes)
      await action.run(async () => {
        await api.trigger('deleteProgramme', programme.id);
        await onChanged();
      });
  };
  return (
    <tr data-testid="programme-row" class={isToday ? 'row-today' : ''}>
      <td data-label={t('programmes.date')}>
        {describeDate(programme.date)}
        {isToday && <span class="chip chip-accent">{t('programmes.today')}</span>}
      </td>
      <td data-label={t('programmes.time')}>{sayTime(programme.time)}</td>
      <th scope="row">{programme.programName}</th>
      <td data-label={t('programmes.length')}>{formatDuration(programme.lengthSec)}</td>
      <td class="cell-actions">
        <Button small variant="danger" icon="trash" onClick={remove} aria-label={t('programmes.deleteLabel', { name: programme.programName })}>
          {t('programmes.delete')}
        </Button>
        <Outcome action={action} />
        {confirm.element}
      </td>
    </tr>
  );
}

/** The name, date and time inputs shared by both scheduling forms. */
function ScheduleFields({ idBase, value, onChange, errors, nameLabel }: { idBase: string; value: ScheduleInput; onChange: (v: ScheduleInput) => void; errors: Record<string, string>; nameLabel: string }) {
  return (
    <>
      <Field id={`${idBase}-name`} label={nameLabel} error={errors.name}>
        <input id={`${idBase}-name`} type="text" maxLength={80} value={value.name} onInput={(e) => onChange({ ...value, name: e.currentTarget.value })} {...described(`${idBase}-name`, errors.name)} />
      </Field>
      <div class="field-pair">
        <Field id={`${idBase}-date`} label={t('programmes.date')} error={errors.date}>
          <DateInput id={`${idBase}-date`} value={value.date} onChange={(date) => onChange({ ...value, date })} {...described(`${idBase}-date`, errors.date)} />
        </Field>
        <Field id={`${idBase}-time`} label={t('programmes.time')} error={errors.time} hint={t('programmes.timeHint')}>
          <TimeInput id={`${idBase}-time`} value={value.time} onChange={(time) => onChange({ ...value, time })} {...described(`${idBase}-time`, errors.time, true)} />
        </Field>
      </div>
    </>
  );
}

/**
 * Today and the current time as the server sees them; a moment already past would never play.
 * When the server cannot say, the time is left empty and only the date is checked here.
 */
async function serverNow(today: string | undefined): Promise<{ today: string; now: string }> {
  try {
    return { today: today ?? '', now: (await api.status()).time };
  } catch {
    return { today: today ?? '', now: '' };
  }
}

function SongUpload({ onAdded, today }: { onAdded: () => Promise<void>; today: string | undefined }) {
  const upload = useUpload();
  const [value, setValue] = useState(emptySchedule);
  const [errors, setErrors] = useState<Record<string, string>>({});
  const formRef = useRef<HTMLFormElement>(null);

  const submit = async (e: Event) => {
    e.preventDefault();
    const clock = await serverNow(today);
    const checked = checkSchedule(value, clock.today, clock.now);
    if (!checked.ok) {
      setErrors(checked.errors);
      return;
    }
    setErrors({});
    const { name, date, time } = checked.value;
    const key = await upload.start({ programName: name, date, time }, () => t('programmes.scheduledAt', { name, date: describeDate(date), time: sayTime(time) }));
    if (key) {
      setValue(emptySchedule());
      formRef.current?.reset();
      await onAdded();
    }
  };

  return (
    <Card title={t('programmes.uploadTitle')} id="song-upload">
      <form ref={formRef} onSubmit={submit} noValidate>
        <ScheduleFields idBase="song" value={value} onChange={setValue} errors={errors} nameLabel={t('programmes.programmeName')} />
        <FileChooser id="song-file" label={t('programmes.soundFile')} upload={upload} />
        <Button type="submit" variant="primary" icon="upload" busy={upload.state.busy}>
          {t('programmes.uploadAndSchedule')}
        </Button>
      </form>
      <UploadProgress upload={upload} label={t('programmes.uploadProgress')} />
    </Card>
  );
}

function Announcements({ onAdded, today }: { onAdded: () => Promise<void>; today: string | undefined }) {
  const [code, setCode] = useState('');
  const [recent, setRecent] = useState(() => readRecentCodes());
  const [codeError, setCodeError] = useState<string | null>(null);
  const [value, setValue] = useState(emptySchedule);
  const [errors, setErrors] = useState<Record<string, string>>({});
  const playNow = useAction();
  const schedule = useAction();

  const readCode = (): string | null => {
    const problem = checkAnnouncementCode(code);
    setCodeError(problem);
    return problem ? null : code.trim();
  };

  const play = async () => {
    const id = readCode();
    if (!id) return;
    // The note goes once the announcement has most likely ended; its length is not known here.
    const ok = await playNow.run(() => api.trigger('announce', id), t('programmes.announcementPlaying', { code: id }), 20000);
    if (ok) setRecent(rememberCode(id));
  };

  const submit = async (e: Event) => {
    e.preventDefault();
    const id = readCode();
    const clock = await serverNow(today);
    const checked = checkSchedule(value, clock.today, clock.now);
    setErrors(checked.ok ? {} : checked.errors);
    if (!id || !checked.ok) return;
    const { name, date, time } = checked.value;
    const ok = await schedule.run(async () => {
      await api.trigger('announceProgrammed', id);
      await api.trigger('scheduleProgrammedAnnouncement', id, { programName: name, date, time });
    }, t('programmes.scheduledAt', { name, date: describeDate(date), time: sayTime(time) }));
    if (ok) {
      setRecent(rememberCode(id));
      setValue(emptySchedule());
      await onAdded();
    }
  };

  return (
    <Card title={t('programmes.announcements')} id="announcements">
      <form onSubmit={submit} noValidate>
        <Field id="announcement-code" label={t('programmes.announcementCode')} error={codeError} hint={t('programmes.announcementCodeHint')}>
          <input id="announcement-code" type="text" value={code} autoComplete="off" spellcheck={false} list="announcement-codes" onInput={(e) => setCode(e.currentTarget.value)} {...described('announcement-code', codeError, true)} />
          {/* The codes that played or were scheduled last in this browser, newest first. */}
          <datalist id="announcement-codes">
            {recent.map((c) => (
              <option key={c} value={c} />
            ))}
          </datalist>
        </Field>
        <div class="button-row">
          <Button icon="speaker" busy={playNow.busy} onClick={play}>
            {t('programmes.playNow')}
          </Button>
        </div>
        <Outcome action={playNow} />
        <h3 class="section-title">{t('programmes.orSchedule')}</h3>
        <ScheduleFields idBase="announce" value={value} onChange={setValue} errors={errors} nameLabel={t('programmes.nameInList')} />
        <Button type="submit" variant="primary" icon="calendar" busy={schedule.busy}>
          {t('programmes.scheduleAnnouncement')}
        </Button>
        <Outcome action={schedule} />
      </form>
    </Card>
  );
}
