// What can be done about one day from the week page and the month: ring another timetable on it,
// or no bells on it (and the days after it), each as a one-off event with a name made for it.
import { useState } from 'preact/hooks';
import { api } from '../api/client';
import { NULL_ID, type DayKind, type NamedId } from '../api/types';
import { t } from '../i18n';
import { describeOverrides, type NoSchoolKind } from '../lib/calendarRules';
import { dateSpan, eventNameFor } from '../lib/days';
import { checkSingleEvent, type SingleEventInput, timetableLabel } from '../lib/forms';
import { useAction } from '../lib/hooks';
import { parseDate } from '../lib/time';
import { DateInput } from './DateInput';
import { Icon } from './Icon';
import { Button, described, Field, FormDialog, Outcome, TimetableSelect } from './ui';
import './DayActions.css';

const NO_SCHOOL: DayKind[] = ['HOLIDAY', 'SCHOOL_BREAK', 'NON_WORKDAY'];

interface Props {
  /** "YYYY-MM-DD" */
  date: string;
  kind: DayKind;
  timetables: NamedId[];
  /** The server's today, for how dates are named. */
  today: string;
  /** Called once an event is added: the page shows the days again. */
  onChanged: () => Promise<void>;
  /** Tells the dialogs of one day from another's. */
  idBase: string;
}

type Open = null | 'timetable' | 'silence';

/** A name field that follows a proposed name until the user writes her own. */
function useProposedName(proposed: string) {
  const [own, setOwn] = useState<string | null>(null);
  return { value: own ?? proposed, set: setOwn, reset: () => setOwn(null) };
}

export function DayActions({ date, kind, timetables, today, onChanged, idBase }: Props) {
  const [open, setOpen] = useState<Open>(null);
  const add = useAction();
  const when = dateSpan(date, date);

  const send = async (event: SingleEventInput, doneText: string) => {
    const ok = await add.run(async () => {
      await api.trigger('addSingleEvent', '0', event);
      await onChanged();
    }, doneText);
    if (ok) setOpen(null);
  };

  return (
    <div class="day-actions">
      <div class="button-row">
        <Button small icon="clock" onClick={() => { add.clear(); setOpen('timetable'); }} aria-label={t('dayActions.otherTimetableOn', { date: when })}>
          {t('dayActions.otherTimetable')}
        </Button>
        <Button small icon="close" onClick={() => { add.clear(); setOpen('silence'); }} aria-label={t('dayActions.noBellsOn', { date: when })}>
          {t('dayActions.noBells')}
        </Button>
      </div>
      <Outcome action={open ? undefined : add} />
      {open === 'timetable' && (
        <OtherTimetableDialog date={date} kind={kind} timetables={timetables} today={today} idBase={idBase} busy={add.busy} error={add.error} onClose={() => setOpen(null)} send={send} />
      )}
      {open === 'silence' && <NoBellsDialog date={date} timetables={timetables} idBase={idBase} busy={add.busy} error={add.error} onClose={() => setOpen(null)} send={send} />}
    </div>
  );
}

interface DialogProps {
  date: string;
  timetables: NamedId[];
  idBase: string;
  busy: boolean;
  error: string | null;
  onClose: () => void;
  send: (event: SingleEventInput, doneText: string) => Promise<void>;
}

function NameField({ id, name, error }: { id: string; name: ReturnType<typeof useProposedName>; error: string | undefined }) {
  return (
    <Field id={id} label={t('dayActions.eventName')} hint={t('dayActions.eventNameHint')} error={error}>
      <input id={id} type="text" value={name.value} onInput={(e) => name.set(e.currentTarget.value)} {...described(id, error, true)} />
    </Field>
  );
}

function OtherTimetableDialog({ date, kind, timetables, today, idBase, busy, error, onClose, send }: DialogProps & { kind: DayKind; today: string }) {
  const [timetableId, setTimetableId] = useState('');
  const [errors, setErrors] = useState<Record<string, string>>({});
  const name = useProposedName(timetableId ? eventNameFor(timetableId, timetables, date) : '');
  const when = dateSpan(date, date);
  // On a day without school the new timetable makes the bells ring: the calendar page says so too.
  const overrides =
    timetableId && timetableId !== NULL_ID && NO_SCHOOL.includes(kind) ? describeOverrides([{ date, kind: kind as NoSchoolKind }], 1, today) : '';
  const id = `${idBase}-other`;
  const submit = () => {
    const checked = checkSingleEvent({ timetableId, startDate: date, endDate: date, name: name.value.trim() || eventNameFor(timetableId, timetables, date) });
    if (!checked.ok) return setErrors(checked.errors);
    setErrors({});
    const done = timetableId === NULL_ID ? t('dayActions.noBellsDone', { dates: when }) : t('dayActions.timetableDone', { timetable: timetableLabel(timetableId, timetables), date: when });
    void send(checked.value, done);
  };
  return (
    <FormDialog open id={id} title={t('dayActions.otherTimetableTitle', { date: when })} submitLabel={t('dayActions.use')} busy={busy} onSubmit={submit} onClose={onClose}>
      <Field id={`${id}-timetable`} label={t('calendar.timetable')} error={errors.timetableId}>
        <TimetableSelect id={`${id}-timetable`} value={timetableId} onChange={setTimetableId} timetables={timetables} placeholder={t('calendar.choose')} extra={described(`${id}-timetable`, errors.timetableId)} />
      </Field>
      <NameField id={`${id}-name`} name={name} error={errors.name} />
      {overrides && (
        <p class="notice notice-warn notice-inline" data-testid="override-warning">
          <Icon name="alarm" size={18} />
          <span>{t('calendar.overrideWarning', { warning: overrides })}</span>
        </p>
      )}
      <Outcome error={error} />
    </FormDialog>
  );
}

/** The last day kept, or the first day when the last one would come before it. */
const laterOf = (first: string, last: string): string => (parseDate(first).ok && parseDate(last).ok && last < first ? first : last);

function NoBellsDialog({ date, timetables, idBase, busy, error, onClose, send }: DialogProps) {
  const [range, setRange] = useState({ startDate: date, endDate: date });
  const [errors, setErrors] = useState<Record<string, string>>({});
  const name = useProposedName(eventNameFor(NULL_ID, timetables, range.startDate, range.endDate));
  const id = `${idBase}-silence`;
  const submit = () => {
    const checked = checkSingleEvent({ timetableId: NULL_ID, ...range, name: name.value });
    if (!checked.ok) return setErrors(checked.errors);
    setErrors({});
    const { startDate, endDate } = checked.value;
    const event = { ...checked.value, name: checked.value.name || eventNameFor(NULL_ID, timetables, startDate, endDate) };
    void send(event, t('dayActions.noBellsDone', { dates: dateSpan(startDate, endDate) }));
  };
  return (
    <FormDialog open id={id} title={t('dayActions.noBellsTitle')} submitLabel={t('dayActions.silence')} busy={busy} onSubmit={submit} onClose={onClose}>
      <div class="field-pair">
        <Field id={`${id}-start`} label={t('calendar.firstDay')} error={errors.startDate}>
          <DateInput id={`${id}-start`} value={range.startDate} onChange={(startDate) => setRange((r) => ({ startDate, endDate: laterOf(startDate, r.endDate) }))} {...described(`${id}-start`, errors.startDate)} />
        </Field>
        <Field id={`${id}-end`} label={t('calendar.lastDay')} error={errors.endDate}>
          <DateInput id={`${id}-end`} value={range.endDate} min={range.startDate || undefined} onChange={(endDate) => setRange((r) => ({ ...r, endDate }))} {...described(`${id}-end`, errors.endDate)} />
        </Field>
      </div>
      <NameField id={`${id}-name`} name={name} error={errors.name} />
      <Outcome error={error} />
    </FormDialog>
  );
}
