// One timetable: the lessons of the channel that rings and the signals around them, the extra
// bells, and the spare bells, which are kept but never rung.
import { useEffect, useMemo, useRef, useState } from 'preact/hooks';
import { api } from '../api/client';
import type { SignalRow, TimeTable } from '../api/types';
import { Icon } from '../components/Icon';
import { PlayEditor } from '../components/PlayEditor';
import { Button, ButtonLink, Card, described, Field, LoadError, Loading, Outcome, PageHeader, useConfirm } from '../components/ui';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import {
  type ChannelDraft,
  type ChannelName,
  DEFAULT_BREAK_MINUTES,
  DEFAULT_LESSON_MINUTES,
  defaultPlay,
  type ExtraPlayDraft,
  type FieldErrors,
  fromDraft,
  lastLessonMinutes,
  move,
  newKey,
  nextLesson,
  readInteger,
  SIGNAL_FIELDS,
  SIGNAL_LABELS,
  type SignalField,
  sortLessons,
  type TimetableDraft,
  toDraft,
} from '../lib/timetableForm';
import { missingSignalRoles } from '../lib/usage';
import { TimeInput } from '../components/TimeInput';
import { Link, setLeaveGuard } from '../router';
import { t, useLocale, type MessageKey } from '../i18n';
import { timetableName } from '../i18n/factoryNames';
import { clockTime } from '../i18n/format';
import './TimetableEditor.css';

export function TimetableEditor({ id }: { id: string }) {
  const loaded = useLoad(async () => {
    const [rows, signals] = await Promise.all([api.timetables(), api.signals()]);
    return { rows, row: rows.find((r) => r.id === id) ?? null, signals };
  }, [id]);
  const locale = useLocale();
  // The names as people see them: a new name must differ from each.
  const otherNames = useMemo(
    () => (loaded.data?.rows ?? []).filter((r) => r.id !== id).map((r) => timetableName(r.id, r.name)),
    [loaded.data, id, locale],
  );
  const row = loaded.data?.row;
  useTitle(row ? t('editor.pageTitleNamed', { name: timetableName(row.id, row.name) }) : t('editor.pageTitle'));

  if (loaded.error && !loaded.data) return <LoadError error={loaded.error} retry={loaded.reload} />;
  if (!loaded.data) return <Loading />;
  if (!loaded.data.row)
    return (
      <div>
        <PageHeader title={t('editor.notFound')} />
        <p>
          {t('editor.notFoundText')} <Link href="/timetables">{t('editor.backToList')}</Link>
        </p>
      </div>
    );
  const { row: found, signals } = loaded.data;
  return <Editor key={id} id={id} stored={found} otherNames={otherNames} signals={signals} />;
}

function Editor({ id, stored, otherNames, signals }: { id: string; stored: TimeTable; otherNames: string[]; signals: SignalRow[] }) {
  // The name field starts from the name shown, which a first timetable that nobody renamed has in
  // the language of the moment; saving it keeps what the user saw.
  const [initial] = useState(() => ({ ...toDraft(stored), name: timetableName(id, stored.name) }));
  const [draft, setDraft] = useState(initial);
  const [saved, setSaved] = useState(() => snapshot(initial));
  const [storedName, setStoredName] = useState(stored.name);
  const [showErrors, setShowErrors] = useState(false);
  const [secondOpen, setSecondOpen] = useState(false);
  const save = useAction();
  const leave = useConfirm();
  // The problems are written in the language of the moment.
  const locale = useLocale();
  const checked = useMemo(() => fromDraft(draft, otherNames), [draft, otherNames, locale]);
  const dirty = snapshot(draft) !== saved;
  // Problems are shown from the first attempt to save on, and then follow every change.
  const errors: FieldErrors = showErrors && !checked.ok ? checked.errors : {};
  const missing = missingSignalRoles(draft, new Set(signals.map((s) => s.id)));

  // While its stored name is still the factory one, an unchanged name follows the language.
  const factoryShown = timetableName(id, storedName);
  const shownBefore = useRef(factoryShown);
  useEffect(() => {
    const before = shownBefore.current;
    shownBefore.current = factoryShown;
    if (before === factoryShown) return;
    setDraft((d) => (d.name === before ? { ...d, name: factoryShown } : d));
    setSaved((s) => renamedSnapshot(s, before, factoryShown));
  }, [factoryShown]);

  // Unsaved work is not thrown away by a click on the menu, a link, the back button or a reload.
  useEffect(() => {
    if (!dirty) return;
    const warn = (e: BeforeUnloadEvent) => {
      e.preventDefault();
      e.returnValue = '';
    };
    window.addEventListener('beforeunload', warn);
    const removeGuard = setLeaveGuard(() =>
      leave.ask({
        title: t('editor.leaveTitle'),
        message: <p>{draft.name.trim() ? t('editor.unsavedNamed', { name: draft.name.trim() }) : t('editor.unsavedUnnamed')}</p>,
        confirmLabel: t('editor.leave'),
        danger: true,
      }),
    );
    return () => {
      window.removeEventListener('beforeunload', warn);
      removeGuard();
    };
  }, [dirty, draft.name]);

  const update = (next: TimetableDraft) => {
    setDraft(next);
    save.clear();
  };
  const setChannelDraft = (name: ChannelName, value: ChannelDraft) => update({ ...draft, [name]: value });

  const submit = async (e: Event) => {
    e.preventDefault();
    if (!checked.ok) {
      setShowErrors(true);
      const fields = Object.keys(checked.errors);
      const order = checked.errors['chA.lessons'] ?? checked.errors['chB.lessons'];
      save.fail(order ?? t('editor.fieldsToFix', { count: fields.length }));
      if (fields.some((k) => k.startsWith('chB'))) setSecondOpen(true);
      return;
    }
    const ok = await save.run(() => api.updateTimetable(id, checked.timetable), t('editor.saved'));
    if (ok) {
      setSaved(snapshot(draft));
      setStoredName(checked.timetable.name);
    }
  };

  return (
    <form class="editor" onSubmit={submit} noValidate>
      <PageHeader title={draft.name ? t('editor.headingNamed', { name: draft.name }) : t('editor.headingUnnamed')}>
        <ButtonLink href="/timetables" icon="left">
          {t('editor.allTimetables')}
        </ButtonLink>
      </PageHeader>
      {missing.length > 0 && (
        <p class="notice notice-warn" role="status">
          <Icon name="alarm" size={18} />
          <span>
            {t('editor.deletedSignal', { places: missing.join(', ') })}
          </span>
        </p>
      )}
      <Card>
        <Field id="tt-name" label={t('editor.name')} error={errors.name}>
          <input
            id="tt-name"
            type="text"
            value={draft.name}
            maxLength={80}
            onInput={(e) => update({ ...draft, name: e.currentTarget.value })}
            {...described('tt-name', errors.name)}
          />
        </Field>
      </Card>

      <Card class="channel-card" title={t('editor.lessonsAndBells')} id="channel-a">
        <ChannelEditor name="chA" value={draft.chA} onChange={(v) => setChannelDraft('chA', v)} signals={signals} errors={errors} />
      </Card>

      <ExtraPlays
        plays={draft.customPlays}
        onChange={(customPlays) => update({ ...draft, customPlays })}
        signals={signals}
        errors={errors}
      />

      <details class="card second-channel" open={secondOpen} onToggle={(e) => setSecondOpen(e.currentTarget.open)}>
        <summary>
          {t('editor.spareBells')}
          {Object.keys(errors).some((k) => k.startsWith('chB')) && <span class="field-error"> {t('editor.needsFixing')}</span>}
        </summary>
        <p class="hint">{t('editor.spareBellsHint')}</p>
        {secondOpen && <ChannelEditor name="chB" value={draft.chB} onChange={(v) => setChannelDraft('chB', v)} signals={signals} errors={errors} />}
      </details>

      <div class="save-bar" role="region" aria-label={t('editor.saveBar')}>
        <div class="save-state">
          <Outcome action={save} />
          {!save.error && !save.done && <span class="muted">{dirty ? t('editor.unsavedChanges') : t('editor.noUnsavedChanges')}</span>}
        </div>
        <Button
          disabled={!dirty || save.busy}
          onClick={() => {
            setDraft(initialFromSaved(saved, initial));
            setShowErrors(false);
            save.clear();
          }}
        >
          {t('editor.discardChanges')}
        </Button>
        <Button type="submit" variant="primary" icon="check" busy={save.busy}>
          {t('editor.saveTimetable')}
        </Button>
      </div>
      {leave.element}
    </form>
  );
}

/**
 * What is compared to tell unsaved changes: the record the draft makes, or the draft itself while
 * it does not read (its problems are words of a language, which may change meanwhile).
 */
function snapshot(draft: TimetableDraft): string {
  const result = fromDraft(draft);
  return JSON.stringify(result.ok ? result : { ok: false, draft });
}

/** The snapshot `saved` with the name `from` read as `to`: what was saved, named in another language. */
function renamedSnapshot(saved: string, from: string, to: string): string {
  const parsed = JSON.parse(saved) as { ok: true; timetable: TimeTable } | { ok: false; draft: TimetableDraft };
  const named = parsed.ok ? parsed.timetable : parsed.draft;
  if (named.name !== from) return saved;
  named.name = to;
  return JSON.stringify(parsed);
}

/** Back to what was last saved: the saved record when it reads, else what was loaded. */
function initialFromSaved(saved: string, initial: TimetableDraft): TimetableDraft {
  const parsed = JSON.parse(saved) as { ok: true; timetable: TimeTable } | { ok: false };
  return parsed.ok ? toDraft(parsed.timetable) : initial;
}

function ChannelEditor({
  name,
  value,
  onChange,
  signals,
  errors,
}: {
  name: ChannelName;
  value: ChannelDraft;
  onChange: (v: ChannelDraft) => void;
  signals: SignalRow[];
  errors: FieldErrors;
}) {
  const lessonsRef = useRef<HTMLOListElement>(null);
  // Until they are typed, the next lesson is as long as the last one, after a 10-minute break.
  const [lengthText, setLengthText] = useState<string | null>(null);
  const [breakText, setBreakText] = useState(String(DEFAULT_BREAK_MINUTES));
  const [addError, setAddError] = useState<{ field: 'length' | 'break' | 'add'; message: string } | null>(null);
  const shownLength = lengthText ?? String(lastLessonMinutes(value.lessons) ?? DEFAULT_LESSON_MINUTES);
  const listError = errors[`${name}.lessons`];
  const setLessons = (lessons: ChannelDraft['lessons']) => onChange({ ...value, lessons });
  const focusRow = (index: number, selector: string) =>
    requestAnimationFrame(() => lessonsRef.current?.querySelectorAll<HTMLElement>(selector)[index]?.focus());
  const addLesson = () => {
    const length = readInteger(shownLength, 1, 720);
    const pause = readInteger(breakText, 0, 720);
    if (typeof length === 'string') return setAddError({ field: 'length', message: length });
    if (typeof pause === 'string') return setAddError({ field: 'break', message: pause });
    const lesson = nextLesson(value.lessons, { length, pause });
    if (!lesson) return setAddError({ field: 'add', message: t('editor.noRoomBeforeMidnight') });
    setAddError(null);
    setLessons([...value.lessons, lesson]);
    focusRow(value.lessons.length, '.lesson-start');
  };

  return (
    <div class="channel">
      <h3 class="section-title">{t('editor.lessons')}</h3>
      <p class="hint">{t('editor.timesHint', { example: clockTime(8, 45), withSeconds: clockTime(8, 45, 30, true) })}</p>
      <ol class="lessons" ref={lessonsRef}>
        {value.lessons.map((lesson, i) => {
          const startId = `${name}-lesson-${lesson.key}-start`;
          const endId = `${name}-lesson-${lesson.key}-end`;
          const startError = errors[`${name}.lessons.${i}.start`];
          const endError = errors[`${name}.lessons.${i}.end`];
          return (
            <li key={lesson.key} class={`lesson ${i > 0 ? 'lesson-next' : ''}`} data-testid="lesson">
              <span class="lesson-no" aria-hidden="true">
                {i + 1}
              </span>
              <Field id={startId} label={<><span aria-hidden="true">{t('editor.start')}</span><span class="visually-hidden">{t('editor.startOfLesson', { number: i + 1 })}</span></>} error={startError} class={`field-time ${i > 0 ? 'label-once' : ''}`}>
                <TimeInput
                  id={startId}
                  class="lesson-start"
                  value={lesson.start}
                  onChange={(start) => setLessons(value.lessons.map((l) => (l.key === lesson.key ? { ...l, start } : l)))}
                  {...described(startId, startError)}
                />
              </Field>
              <Field id={endId} label={<><span aria-hidden="true">{t('editor.end')}</span><span class="visually-hidden">{t('editor.endOfLesson', { number: i + 1 })}</span></>} error={endError} class={`field-time ${i > 0 ? 'label-once' : ''}`}>
                <TimeInput
                  id={endId}
                  value={lesson.end}
                  onChange={(end) => setLessons(value.lessons.map((l) => (l.key === lesson.key ? { ...l, end } : l)))}
                  {...described(endId, endError)}
                />
              </Field>
              <div class="lesson-actions">
                <button
                  type="button"
                  class="icon-btn move-up"
                  disabled={i === 0}
                  aria-label={t('editor.moveLessonUp', { number: i + 1 })}
                  title={t('editor.moveUp')}
                  onClick={() => {
                    setLessons(move(value.lessons, i, -1));
                    focusRow(i - 1, '.move-up');
                  }}
                >
                  <Icon name="up" size={18} />
                </button>
                <button
                  type="button"
                  class="icon-btn move-down"
                  disabled={i === value.lessons.length - 1}
                  aria-label={t('editor.moveLessonDown', { number: i + 1 })}
                  title={t('editor.moveDown')}
                  onClick={() => {
                    setLessons(move(value.lessons, i, 1));
                    focusRow(i + 1, '.move-down');
                  }}
                >
                  <Icon name="down" size={18} />
                </button>
                <button
                  type="button"
                  class="icon-btn icon-btn-danger"
                  aria-label={t('editor.removeLesson', { number: i + 1 })}
                  title={t('editor.remove')}
                  onClick={() => setLessons(value.lessons.filter((l) => l.key !== lesson.key))}
                >
                  <Icon name="trash" size={18} />
                </button>
              </div>
            </li>
          );
        })}
      </ol>
      {value.lessons.length === 0 && <p class="muted">{t('editor.noLessons')}</p>}
      {listError && (
        <p class="notice notice-error" role="alert">
          <Icon name="alarm" size={18} />
          <span>{listError}</span>
        </p>
      )}
      <div class="add-lesson">
        <Field id={`${name}-lesson-length`} label={t('editor.lessonLength')} error={addError?.field === 'length' ? addError.message : null} class="field-small">
          <input
            id={`${name}-lesson-length`}
            type="number"
            inputMode="numeric"
            min={1}
            max={720}
            value={shownLength}
            onInput={(e) => setLengthText(e.currentTarget.value)}
            {...described(`${name}-lesson-length`, addError?.field === 'length' ? addError.message : null)}
          />
        </Field>
        <Field id={`${name}-lesson-break`} label={t('editor.breakBefore')} error={addError?.field === 'break' ? addError.message : null} class="field-small">
          <input
            id={`${name}-lesson-break`}
            type="number"
            inputMode="numeric"
            min={0}
            max={720}
            value={breakText}
            onInput={(e) => setBreakText(e.currentTarget.value)}
            {...described(`${name}-lesson-break`, addError?.field === 'break' ? addError.message : null)}
          />
        </Field>
        <div class="button-row">
          <Button icon="plus" onClick={addLesson}>
            {t('editor.addLesson')}
          </Button>
          <Button icon="list" disabled={value.lessons.length < 2} onClick={() => setLessons(sortLessons(value.lessons))}>
            {t('editor.sortByStart')}
          </Button>
        </div>
      </div>
      {addError?.field === 'add' && (
        <p class="field-error" role="alert">
          {addError.message}
        </p>
      )}

      <h3 class="section-title">{t('editor.signalsAround')}</h3>
      <div class="play-grid">
        {SIGNAL_FIELDS.map((field) => {
          const wait = WAIT_FIELDS[field];
          return (
            <PlayEditor
              key={field}
              idBase={`${name}-${field}`}
              legend={t(SIGNAL_LABELS[field])}
              value={value[field]}
              onChange={(play) => onChange({ ...value, [field]: play })}
              signals={signals}
              errors={errors}
              path={`${name}.${field}`}
            >
              {wait && (
                <MinutesField
                  id={`${name}-${wait.field}`}
                  label={t(wait.label)}
                  value={value[wait.field]}
                  error={errors[`${name}.${wait.field}`]}
                  onInput={(minutes) => onChange({ ...value, [wait.field]: minutes })}
                />
              )}
            </PlayEditor>
          );
        })}
      </div>
    </div>
  );
}

/** The warnings come a number of minutes before the start or end; the other signals at it. */
const WAIT_FIELDS: Partial<Record<SignalField, { field: 'preStartWaitMin' | 'preEndWaitMin'; label: MessageKey }>> = {
  preStart: { field: 'preStartWaitMin', label: 'editor.minutesBeforeStart' },
  preEnd: { field: 'preEndWaitMin', label: 'editor.minutesBeforeEnd' },
};

function MinutesField({ id, label, value, error, onInput }: { id: string; label: string; value: string; error?: string; onInput: (v: string) => void }) {
  return (
    <Field id={id} label={label} error={error} class="field-small">
      <input id={id} type="number" inputMode="numeric" min={0} max={1439} step={1} value={value} onInput={(e) => onInput(e.currentTarget.value)} {...described(id, error)} />
    </Field>
  );
}

function ExtraPlays({
  plays,
  onChange,
  signals,
  errors,
}: {
  plays: ExtraPlayDraft[];
  onChange: (plays: ExtraPlayDraft[]) => void;
  signals: SignalRow[];
  errors: FieldErrors;
}) {
  const set = (key: number, patch: Partial<ExtraPlayDraft>) => onChange(plays.map((p) => (p.key === key ? { ...p, ...patch } : p)));
  return (
    <Card title={t('editor.extraBells')} id="extra-plays">
      <p class="hint">{t('editor.extraBellsHint')}</p>
      {plays.length === 0 && <p class="muted">{t('editor.noExtraBells')}</p>}
      <ol class="extra-plays">
        {plays.map((play, i) => (
          <li key={play.key} class="extra-play" data-testid="extra-play">
            <PlayEditor
              idBase={`extra-${play.key}`}
              legend={t('editor.extraBell', { number: i + 1 })}
              value={play.desc}
              onChange={(desc) => set(play.key, { desc })}
              signals={signals}
              errors={errors}
              path={`customPlays.${i}.desc`}
            >
              <div class="slots">
                <span class="slots-label" id={`extra-${play.key}-times`}>
                  {t('editor.times')}
                </span>
                <ul aria-labelledby={`extra-${play.key}-times`}>
                  {play.slots.map((slot, j) => {
                    const slotId = `extra-${play.key}-slot-${slot.key}`;
                    const error = errors[`customPlays.${i}.slots.${j}`];
                    return (
                      <li key={slot.key} class="slot">
                        <label class="visually-hidden" for={slotId}>
                          {t('editor.slotLabel', { time: j + 1, number: i + 1 })}
                        </label>
                        <TimeInput
                          id={slotId}
                          value={slot.time}
                          onChange={(time) => set(play.key, { slots: play.slots.map((s) => (s.key === slot.key ? { ...s, time } : s)) })}
                          {...described(slotId, error)}
                        />
                        <button
                          type="button"
                          class="icon-btn icon-btn-danger"
                          aria-label={t('editor.removeSlot', { time: j + 1, number: i + 1 })}
                          onClick={() => set(play.key, { slots: play.slots.filter((s) => s.key !== slot.key) })}
                        >
                          <Icon name="close" size={16} />
                        </button>
                        {error && (
                          <small class="field-error" id={`${slotId}-error`}>
                            {error}
                          </small>
                        )}
                      </li>
                    );
                  })}
                </ul>
                <Button small icon="plus" onClick={() => set(play.key, { slots: [...play.slots, { key: newKey(), time: '' }] })}>
                  {t('editor.addTime')}
                </Button>
              </div>
            </PlayEditor>
            <Button small variant="danger" icon="trash" onClick={() => onChange(plays.filter((p) => p.key !== play.key))}>
              {t('editor.removeExtraBell', { number: i + 1 })}
            </Button>
          </li>
        ))}
      </ol>
      <Button icon="plus" onClick={() => onChange([...plays, { key: newKey(), desc: defaultPlay(), slots: [{ key: newKey(), time: '' }] }])}>
        {t('editor.addExtraBell')}
      </Button>
    </Card>
  );
}
