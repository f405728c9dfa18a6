// The list of timetables: create, rename, delete, and choose the default of school days. A
// timetable that plays a deleted signal says so here.
import { useState } from 'preact/hooks';
import { api } from '../api/client';
import type { TimeTableRow } from '../api/types';
import { Icon } from '../components/Icon';
import { Button, ButtonLink, Card, described, Field, LoadError, Loading, Outcome, PageHeader, useConfirm } from '../components/ui';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { COMING_WEEKS, ringingDates, ringsLine } from '../lib/days';
import { checkTimetableName, emptyDraft, fromDraft } from '../lib/timetableForm';
import { missingSignalRoles, timetableUsers, usedBySentence } from '../lib/usage';
import { Link, navigate } from '../router';
import { t } from '../i18n';
import { timetableName } from '../i18n/factoryNames';
import { clockTime } from '../i18n/format';
import './Timetables.css';

function withoutId({ id: _id, ...timetable }: TimeTableRow) {
  return timetable;
}

/** The name people see, against which a new or changed name must differ. */
const shownName = (row: TimeTableRow): string => timetableName(row.id, row.name);

export function TimetablesPage() {
  useTitle(t('timetables.title'));
  const list = useLoad(() => Promise.all([api.timetables(), api.settings(), api.db()]));
  // The days each timetable rings on in the weeks to come; the list shows without them if they fail.
  const coming = useLoad(() => api.days(COMING_WEEKS * 7).then((answer) => ringingDates(answer.days)));
  const create = useAction();
  const [newName, setNewName] = useState('');
  const [nameError, setNameError] = useState<string | null>(null);

  const submitNew = async (e: Event) => {
    e.preventDefault();
    const name = newName.trim();
    const problem = name ? checkTimetableName(name, list.data?.[0].map(shownName) ?? []) : t('timetables.nameTheNew');
    if (problem) {
      setNameError(problem);
      return;
    }
    setNameError(null);
    const draft = fromDraft(emptyDraft(name));
    if (!draft.ok) return;
    let id = '';
    const made = await create.run(async () => {
      id = await api.createTimetable(draft.timetable);
    });
    if (made) navigate(`/timetables/${encodeURIComponent(id)}`);
  };

  return (
    <div>
      <PageHeader title={t('timetables.title')} />
      <Card title={t('timetables.newTimetable')} id="new-timetable">
        <form class="inline-form" onSubmit={submitNew} noValidate>
          <Field id="new-name" label={t('timetables.name')} error={nameError}>
            <input
              id="new-name"
              type="text"
              value={newName}
              maxLength={80}
              onInput={(e) => setNewName(e.currentTarget.value)}
              {...described('new-name', nameError)}
            />
          </Field>
          <Button type="submit" variant="primary" icon="plus" busy={create.busy}>
            {t('timetables.create')}
          </Button>
        </form>
        <p class="hint">{t('timetables.newHint', { time: clockTime(8, 0) })}</p>
        <Outcome action={create} />
      </Card>
      {list.error && !list.data && <LoadError error={list.error} retry={list.reload} />}
      {!list.data && !list.error && <Loading />}
      {list.data && (
        <Card title={t('timetables.allTimetables')} id="timetable-list">
          <ul class="rows">
            {list.data[0].map((row) => (
              <TimetableItem
                key={row.id}
                row={row}
                isDefault={row.id === list.data![1].defaultTimetableId}
                otherNames={list.data![0].filter((t) => t.id !== row.id).map(shownName)}
                missing={missingSignalRoles(row, new Set(Object.keys(list.data![2].songs)))}
                rings={coming.data ? ringsLine(coming.data.get(row.id)) : null}
                onChanged={async () => {
                  await Promise.all([list.reload(), coming.reload()]);
                }}
              />
            ))}
          </ul>
          {list.data[0].length === 0 && <p class="muted">{t('timetables.noneYet')}</p>}
        </Card>
      )}
    </div>
  );
}

function TimetableItem({ row, isDefault, otherNames, missing, rings, onChanged }: { row: TimeTableRow; isDefault: boolean; otherNames: string[]; missing: string[]; rings: string | null; onChanged: () => Promise<void> }) {
  const action = useAction();
  const confirm = useConfirm();
  const [renaming, setRenaming] = useState(false);
  const shown = shownName(row);
  // The field starts from the name shown: a first timetable that nobody renamed is then saved
  // under its name in the language of the moment, which is what the user saw.
  const [name, setName] = useState(shown);
  const [nameError, setNameError] = useState<string | null>(null);
  const editHref = `/timetables/${encodeURIComponent(row.id)}`;
  const lessons = row.chA.lessons;
  const span = lessons.length
    ? t('timetables.lessonSpan', { count: lessons.length, start: lessons[0].split(' - ')[0], end: lessons[lessons.length - 1].split(' - ')[1] })
    : t('timetables.noLessons');

  const rename = async (e: Event) => {
    e.preventDefault();
    const trimmed = name.trim();
    const problem = trimmed ? checkTimetableName(trimmed, otherNames) : t('timetables.nameEmpty');
    if (problem) {
      setNameError(problem);
      return;
    }
    setNameError(null);
    const ok = await action.run(async () => {
      await api.updateTimetable(row.id, { ...withoutId(row), name: trimmed });
      await onChanged();
    }, t('timetables.renamed'));
    if (ok) setRenaming(false);
  };

  const remove = async () => {
    // Asked at the moment of deleting, so the answer is about the calendar as it is now.
    const users = await api.db().then(
      (db) => timetableUsers(row.id, db),
      () => null,
    );
    const yes = await confirm.ask({
      title: t('timetables.deleteTitle', { name: shown }),
      message:
        users === null ? (
          <p>{t('timetables.deleteUnknownUsers')}</p>
        ) : users.length ? (
          <>
            <p class="confirm-users">{usedBySentence(users, '')}</p>
            <p>{t('timetables.deleteUsedNote')}</p>
          </>
        ) : (
          <p>{t('timetables.deleteUnused')}</p>
        ),
      confirmLabel: t('timetables.delete'),
      danger: true,
    });
    if (yes) await action.run(async () => {
      await api.trigger('deleteTimetable', row.id);
      await onChanged();
    });
  };

  return (
    <li class="row" data-testid="timetable-row">
      <div class="row-main">
        {renaming ? (
          <form class="inline-form" onSubmit={rename} noValidate>
            <Field id={`rename-${row.id}`} label={t('timetables.newNameFor', { name: shown })} error={nameError}>
              <input
                id={`rename-${row.id}`}
                type="text"
                value={name}
                maxLength={80}
                onInput={(e) => setName(e.currentTarget.value)}
                {...described(`rename-${row.id}`, nameError)}
                autoFocus
              />
            </Field>
            <Button type="submit" variant="primary" small busy={action.busy}>
              {t('timetables.save')}
            </Button>
            <Button small onClick={() => { setRenaming(false); setNameError(null); }}>
              {t('timetables.cancel')}
            </Button>
          </form>
        ) : (
          <>
            <Link href={editHref} class="row-title">
              {shown}
            </Link>
            {isDefault && (
              <span class="chip chip-accent">
                <Icon name="star" size={14} /> {t('timetables.default')}
              </span>
            )}
            <span class="row-meta">{span}</span>
            {rings && (
              <span class="row-meta" data-testid="timetable-rings">
                {rings}
              </span>
            )}
            {missing.length > 0 && (
              <span class="row-warning">
                <Icon name="alarm" size={16} /> {t('timetables.playsDeletedSignal', { places: missing.join(', ') })}
              </span>
            )}
          </>
        )}
      </div>
      {!renaming && (
        <div class="row-actions">
          <ButtonLink href={editHref} icon="edit" variant="plain">
            {t('timetables.edit')}
          </ButtonLink>
          <Button small icon="edit" onClick={() => { setName(shown); setRenaming(true); }} aria-label={t('timetables.renameNamed', { name: shown })}>
            {t('timetables.rename')}
          </Button>
          {!isDefault && (
            <Button
              small
              icon="star"
              busy={action.busy}
              aria-label={t('timetables.makeNamedDefault', { name: shown })}
              onClick={() =>
                action.run(async () => {
                  await api.updateSettings({ defaultTimetableId: row.id });
                  await onChanged();
                }, t('timetables.nowDefault', { name: shown }))
              }
            >
              {t('timetables.makeDefault')}
            </Button>
          )}
          <Button
            small
            variant="danger"
            icon="trash"
            disabled={isDefault}
            title={isDefault ? t('timetables.makeAnotherDefaultFirst') : undefined}
            onClick={remove}
            aria-label={t('timetables.deleteNamed', { name: shown })}
          >
            {t('timetables.delete')}
          </Button>
        </div>
      )}
      <Outcome action={action} />
      {confirm.element}
    </li>
  );
}
