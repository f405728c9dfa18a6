// The list of timetables: create, rename, delete, and choose the default of school days. A
// timetable that plays a deleted signal says so here.
import { useState } from 'preact/hooks';
import { api } from '../api/client';
import type { TimeTableRow } from '../api/types';
import { Icon } from '../components/Icon';
import { Button, ButtonLink, Card, described, Field, LoadError, Loading, Outcome, PageHeader, useConfirm } from '../components/ui';
import { useAction, useLoad, useTitle } from '../lib/hooks';
import { checkTimetableName, emptyDraft, fromDraft } from '../lib/timetableForm';
import { missingSignalRoles, timetableUsers, usedBySentence } from '../lib/usage';
import { Link, navigate } from '../router';
import './Timetables.css';

function withoutId({ id: _id, ...timetable }: TimeTableRow) {
  return timetable;
}

export function TimetablesPage() {
  useTitle('Timetables');
  const list = useLoad(() => Promise.all([api.timetables(), api.settings(), api.db()]));
  const create = useAction();
  const [newName, setNewName] = useState('');
  const [nameError, setNameError] = useState<string | null>(null);

  const submitNew = async (e: Event) => {
    e.preventDefault();
    const name = newName.trim();
    const problem = name ? checkTimetableName(name, list.data?.[0].map((t) => t.name) ?? []) : 'Give the new timetable a name';
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
      <PageHeader title="Timetables" />
      <Card title="New timetable" id="new-timetable">
        <form class="inline-form" onSubmit={submitNew} noValidate>
          <Field id="new-name" label="Name" error={nameError}>
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
            Create
          </Button>
        </form>
        <p class="hint">A new timetable starts with six lessons from 08:00 and no signals.</p>
        <Outcome action={create} />
      </Card>
      {list.error && !list.data && <LoadError error={list.error} retry={list.reload} />}
      {!list.data && !list.error && <Loading />}
      {list.data && (
        <Card title="All timetables" id="timetable-list">
          <ul class="rows">
            {list.data[0].map((row) => (
              <TimetableItem
                key={row.id}
                row={row}
                isDefault={row.id === list.data![1].defaultTimetableId}
                otherNames={list.data![0].filter((t) => t.id !== row.id).map((t) => t.name)}
                missing={missingSignalRoles(row, new Set(Object.keys(list.data![2].songs)))}
                onChanged={list.reload}
              />
            ))}
          </ul>
          {list.data[0].length === 0 && <p class="muted">There is no timetable yet.</p>}
        </Card>
      )}
    </div>
  );
}

function TimetableItem({ row, isDefault, otherNames, missing, onChanged }: { row: TimeTableRow; isDefault: boolean; otherNames: string[]; missing: string[]; onChanged: () => Promise<void> }) {
  const action = useAction();
  const confirm = useConfirm();
  const [renaming, setRenaming] = useState(false);
  const [name, setName] = useState(row.name);
  const [nameError, setNameError] = useState<string | null>(null);
  const editHref = `/timetables/${encodeURIComponent(row.id)}`;
  const lessons = row.chA.lessons;
  const span = lessons.length ? `${lessons.length} lessons, ${lessons[0].split(' - ')[0]} to ${lessons[lessons.length - 1].split(' - ')[1]}` : 'no lessons';

  const rename = async (e: Event) => {
    e.preventDefault();
    const trimmed = name.trim();
    const problem = trimmed ? checkTimetableName(trimmed, otherNames) : 'The name cannot be empty';
    if (problem) {
      setNameError(problem);
      return;
    }
    setNameError(null);
    const ok = await action.run(async () => {
      await api.updateTimetable(row.id, { ...withoutId(row), name: trimmed });
      await onChanged();
    }, 'Renamed');
    if (ok) setRenaming(false);
  };

  const remove = async () => {
    // Asked at the moment of deleting, so the answer is about the calendar as it is now.
    const users = await api.db().then(
      (db) => timetableUsers(row.id, db),
      () => null,
    );
    const yes = await confirm.ask({
      title: `Delete “${row.name}”?`,
      message:
        users === null ? (
          <p>Calendar events that use it will ring no bells on their days.</p>
        ) : users.length ? (
          <>
            <p class="confirm-users">{usedBySentence(users, '')}</p>
            <p>No bells will ring there: those days become silent.</p>
          </>
        ) : (
          <p>No calendar event uses it.</p>
        ),
      confirmLabel: 'Delete',
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
            <Field id={`rename-${row.id}`} label={`New name for “${row.name}”`} error={nameError}>
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
              Save
            </Button>
            <Button small onClick={() => { setRenaming(false); setName(row.name); setNameError(null); }}>
              Cancel
            </Button>
          </form>
        ) : (
          <>
            <Link href={editHref} class="row-title">
              {row.name}
            </Link>
            {isDefault && (
              <span class="chip chip-accent">
                <Icon name="star" size={14} /> Default
              </span>
            )}
            <span class="row-meta">{span}</span>
            {missing.length > 0 && (
              <span class="row-warning">
                <Icon name="alarm" size={16} /> Plays a deleted signal, so nothing sounds at: {missing.join(', ')}.
              </span>
            )}
          </>
        )}
      </div>
      {!renaming && (
        <div class="row-actions">
          <ButtonLink href={editHref} icon="edit" variant="plain">
            Edit
          </ButtonLink>
          <Button small icon="edit" onClick={() => setRenaming(true)} aria-label={`Rename ${row.name}`}>
            Rename
          </Button>
          {!isDefault && (
            <Button
              small
              icon="star"
              busy={action.busy}
              aria-label={`Make ${row.name} the default`}
              onClick={() =>
                action.run(async () => {
                  await api.updateSettings({ defaultTimetableId: row.id });
                  await onChanged();
                }, `“${row.name}” is now the default`)
              }
            >
              Make default
            </Button>
          )}
          <Button
            small
            variant="danger"
            icon="trash"
            disabled={isDefault}
            title={isDefault ? 'Make another timetable the default first' : undefined}
            onClick={remove}
            aria-label={`Delete ${row.name}`}
          >
            Delete
          </Button>
        </div>
      )}
      <Outcome action={action} />
      {confirm.element}
    </li>
  );
}
