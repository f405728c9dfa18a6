// Quiet periods on the dashboard: today's, set at once, and those planned for any day to come,
// as for an exam. On a phone this card comes before the signal buttons.
import { useState } from 'preact/hooks';
import { api } from '../api/client';
import type { NextBell, PlannedQuiet, QuietToday } from '../api/types';
import { t } from '../i18n';
import { browserToday } from '../i18n/format';
import { checkPlannedQuiet, checkQuietPeriod, describeQuiet, sayTime } from '../lib/playLog';
import { useAction } from '../lib/hooks';
import { describeDate } from '../lib/time';
import { shortTime } from './DayAtAGlance';
import { DateInput } from './DateInput';
import { Icon } from './Icon';
import { TimeInput } from './TimeInput';
import { Button, Card, Field, Outcome, described, useConfirm } from './ui';
import './QuietCard.css';

export function QuietCard({
  quiet,
  planned,
  nextBell,
  onChanged,
}: {
  quiet: QuietToday | undefined;
  planned: PlannedQuiet[] | undefined;
  nextBell: NextBell | null | undefined;
  onChanged: () => Promise<void>;
}) {
  return (
    <Card title={t('quiet.title')} class="dash-quiet" id="quiet-card">
      <QuietControls quiet={quiet} nextBell={nextBell} onChanged={onChanged} />
      <PlannedQuietList planned={planned} onChanged={onChanged} />
      <PlanQuietForm onChanged={onChanged} />
    </Card>
  );
}

function QuietControls({ quiet, nextBell, onChanged }: { quiet: QuietToday | undefined; nextBell: NextBell | null | undefined; onChanged: () => Promise<void> }) {
  const [from, setFrom] = useState('');
  const [to, setTo] = useState('');
  const [formError, setFormError] = useState<string | null>(null);
  const action = useAction();
  const said = quiet ? describeQuiet(quiet) : [];
  const invalid = formError ? { 'aria-invalid': true, 'aria-describedby': 'quiet-error' } : {};
  const mute = async (e: Event) => {
    e.preventDefault();
    const checked = checkQuietPeriod(from, to);
    if (!checked.ok) {
      setFormError(checked.error);
      return;
    }
    setFormError(null);
    const ok = await action.run(async () => {
      await api.trigger('muteBells', 'today', { from: checked.from, to: checked.to });
      await onChanged();
    }, t('dayGlance.keptQuiet', { from: checked.from, to: checked.to }));
    if (ok) {
      setFrom('');
      setTo('');
    }
  };
  return (
    <div class="quiet" id="quiet">
      {said.length > 0 && (
        <div class="notice notice-quiet" role="status">
          <Icon name="close" size={18} />
          <div>
            {said.map((line) => (
              <p key={line}>{line}</p>
            ))}
          </div>
          <Button
            small
            icon="bell"
            busy={action.busy}
            onClick={() =>
              action.run(async () => {
                await api.trigger('clearQuiet', 'today');
                await onChanged();
              }, t('dayGlance.ringAgain'))
            }
          >
            {t('dayGlance.endQuiet')}
          </Button>
        </div>
      )}
      <form class="quiet-form" onSubmit={mute} noValidate aria-label={t('dayGlance.keepQuiet')}>
        <Field id="quiet-from" label={t('dayGlance.quietFrom')}>
          <TimeInput id="quiet-from" value={from} onChange={setFrom} {...invalid} />
        </Field>
        <Field id="quiet-to" label={t('dayGlance.quietTo')}>
          <TimeInput id="quiet-to" value={to} onChange={setTo} {...invalid} />
        </Field>
        <Button type="submit" icon="stop" busy={action.busy}>
          {t('dayGlance.keepQuiet')}
        </Button>
        <Button
          icon="right"
          disabled={!nextBell}
          busy={action.busy}
          onClick={() =>
            action.run(async () => {
              await api.trigger('skipNextBell', 'today');
              await onChanged();
            }, nextBell ? t('dayGlance.skipped', { at: shortTime(nextBell.at) }) : undefined)
          }
        >
          {t('dayGlance.skipNextBell')}
        </Button>
      </form>
      {formError && (
        <p class="field-error" id="quiet-error" role="alert">
          {formError}
        </p>
      )}
      <p class="hint">{t('dayGlance.quietHint')}</p>
      <Outcome action={action} />
    </div>
  );
}

function PlannedQuietList({ planned, onChanged }: { planned: PlannedQuiet[] | undefined; onChanged: () => Promise<void> }) {
  const action = useAction();
  const confirm = useConfirm();
  const remove = async (period: PlannedQuiet) => {
    const values = { date: describeDate(period.date), from: sayTime(period.from), to: sayTime(period.to) };
    const yes = await confirm.ask({
      title: t('quiet.delete'),
      message: <p>{t('quiet.confirmDelete', values)}</p>,
      confirmLabel: t('quiet.delete'),
      danger: true,
    });
    if (!yes) return;
    await action.run(async () => {
      await api.trigger('unplanQuiet', period.id);
      await onChanged();
    }, t('quiet.deleted'));
  };
  return (
    <div class="planned-quiet">
      <h3>{t('quiet.plannedTitle')}</h3>
      {planned && planned.length === 0 && <p class="muted">{t('quiet.plannedNone')}</p>}
      {planned && planned.length > 0 && (
        <ul class="rows" data-testid="planned-quiet">
          {planned.map((period) => (
            <li class="row" key={period.id} data-testid="planned-quiet-row">
              <span class="planned-when">
                <strong>{describeDate(period.date)}</strong> {sayTime(period.from)}–{sayTime(period.to)}
              </span>
              <span class="planned-what">
                {period.name && <span class="planned-name">{period.name}</span>}
                <small class="muted">{period.holdProgrammes ? t('quiet.programmesHeld') : t('quiet.programmesSound')}</small>
              </span>
              <Button
                small
                variant="danger"
                icon="trash"
                busy={action.busy}
                aria-label={t('quiet.deleteNamed', { date: describeDate(period.date), from: period.from, to: period.to })}
                onClick={() => void remove(period)}
              >
                {t('quiet.delete')}
              </Button>
            </li>
          ))}
        </ul>
      )}
      <Outcome action={action} />
      {confirm.element}
    </div>
  );
}

const EMPTY_PLAN = { date: '', from: '', to: '', name: '', holdProgrammes: true };

function PlanQuietForm({ onChanged }: { onChanged: () => Promise<void> }) {
  const [form, setForm] = useState(EMPTY_PLAN);
  const [errors, setErrors] = useState<Partial<Record<'date' | 'times' | 'name', string>>>({});
  const action = useAction();
  const submit = async (e: Event) => {
    e.preventDefault();
    const checked = checkPlannedQuiet(form, browserToday());
    if (!checked.ok) {
      setErrors(checked.errors);
      return;
    }
    setErrors({});
    const { date, from, to, name, holdProgrammes } = checked.value;
    const ok = await action.run(async () => {
      await api.trigger('planQuiet', '0', { date, from, to, name, holdProgrammes: String(holdProgrammes) });
      await onChanged();
    }, t('quiet.added'));
    if (ok) setForm(EMPTY_PLAN);
  };
  const timesInvalid = errors.times ? { 'aria-invalid': true, 'aria-describedby': 'plan-quiet-times-error' } : {};
  return (
    <form class="plan-quiet" onSubmit={submit} noValidate aria-labelledby="plan-quiet-title">
      <h3 id="plan-quiet-title">{t('quiet.planHeading')}</h3>
      <div class="plan-quiet-fields">
        <Field id="plan-quiet-date" label={t('quiet.date')} error={errors.date}>
          <DateInput id="plan-quiet-date" value={form.date} onChange={(date) => setForm((f) => ({ ...f, date }))} {...described('plan-quiet-date', errors.date)} />
        </Field>
        <Field id="plan-quiet-from" label={t('quiet.from')}>
          <TimeInput id="plan-quiet-from" value={form.from} onChange={(from) => setForm((f) => ({ ...f, from }))} {...timesInvalid} />
        </Field>
        <Field id="plan-quiet-to" label={t('quiet.to')}>
          <TimeInput id="plan-quiet-to" value={form.to} onChange={(to) => setForm((f) => ({ ...f, to }))} {...timesInvalid} />
        </Field>
        <Field id="plan-quiet-name" label={t('quiet.name')} error={errors.name} class="plan-quiet-name">
          <input
            id="plan-quiet-name"
            type="text"
            maxLength={200}
            placeholder={t('quiet.namePlaceholder')}
            value={form.name}
            onInput={(e) => setForm((f) => ({ ...f, name: e.currentTarget.value }))}
            {...described('plan-quiet-name', errors.name)}
          />
        </Field>
      </div>
      {errors.times && (
        <p class="field-error" id="plan-quiet-times-error" role="alert">
          {errors.times}
        </p>
      )}
      <label class="check">
        <input type="checkbox" checked={form.holdProgrammes} onChange={(e) => setForm((f) => ({ ...f, holdProgrammes: e.currentTarget.checked }))} />
        {t('quiet.holdProgrammes')}
      </label>
      <p class="hint">{t('quiet.holdHint')}</p>
      <Button type="submit" variant="primary" icon="plus" busy={action.busy}>
        {t('quiet.add')}
      </Button>
      <Outcome action={action} />
    </form>
  );
}
