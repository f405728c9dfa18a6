// The school calendar: the month grid, one-off and recurring events, region and working week.
import { useEffect, useRef, useState } from 'preact/hooks';
import { api, type Query } from '../api/client';
import { NULL_ID, type CalendarInfo, type Month, type NamedId, type Settings } from '../api/types';
import { useBellsOn } from '../bells';
import { DateInput } from '../components/DateInput';
import { Icon } from '../components/Icon';
import { DayLegend, MonthGrid, NoHolidayData } from '../components/MonthGrid';
import { Button, Card, described, Field, LoadError, Loading, Outcome, PageHeader, TimetableSelect, useConfirm } from '../components/ui';
import { checkRecurringEvent, checkSingleEvent, type FormResult, type RecurringEventInput, type SingleEventInput, timetableLabel } from '../lib/forms';
import { type Loaded, useAction, useLoad, useTitle } from '../lib/hooks';
import { dayBells, describeDayBells, monthGrid, nextOccurrences } from '../lib/calendar';
import { storedDate } from '../lib/days';
import { DayActions } from '../components/DayActions';
import { calendarRules, type CalendarRules, describeOverrides, newYearNote, recurringOverrides, singleOverrides } from '../lib/calendarRules';
import { describeDate, parseDate, shortDate, weekdaysLong, weekdaysShort } from '../lib/time';
import { PRODUCT_NAME, t } from '../i18n';
import { monthAndYear } from '../i18n/format';
import { describeMask, maskHasDay, RECURRENCE_MODES, recurrenceLabel, toggleDay, WORKDAY_MODES, workdayModeLabel } from '../lib/weekdays';
import { navigate, useLocation } from '../router';
import './Calendar.css';

function readOffset(query: URLSearchParams): number {
  const n = Number(query.get('offset') ?? '0');
  return Number.isInteger(n) && Math.abs(n) < 1200 ? n : 0;
}

export function CalendarPage() {
  useTitle(t('calendar.title'));
  const { query } = useLocation();
  const offset = readOffset(query);
  const info = useLoad(() => api.calendarInfo());
  const month = useLoad(() => api.calendarDays(offset), [offset]);
  const settings = useLoad(() => api.settings());
  const planned = useLoad(() => api.quietPlanned());
  const bellsOn = useBellsOn() ?? settings.data?.schedulerEnable ?? true;
  const [picked, setPicked] = useState<{ date: string; at: number } | null>(null);
  const formRef = useRef<HTMLDivElement>(null);

  const goTo = (next: number) => navigate(next === 0 ? '/calendar' : `/calendar?offset=${next}`, { replace: true });
  const reloadAll = async () => {
    await Promise.all([info.reload(), month.reload(), settings.reload()]);
  };
  const rules = info.data && settings.data ? rulesOf(info.data, settings.data) : null;

  const title = month.data ? monthAndYear(month.data.year, month.data.month) : '…';
  return (
    <div>
      <PageHeader title={t('calendar.title')} />
      <Card class="calendar-card" id="month">
        <div class="month-nav">
          <Button icon="left" onClick={() => goTo(offset - 1)} aria-label={t('calendar.previousMonth')}>
            <span class="nav-word">{t('calendar.previous')}</span>
          </Button>
          <h2 class="month-title" aria-live="polite" data-testid="month-title">
            {title}
          </h2>
          <Button icon="right" onClick={() => goTo(offset + 1)} aria-label={t('calendar.nextMonth')}>
            <span class="nav-word">{t('calendar.next')}</span>
          </Button>
          {offset !== 0 && (
            <Button small variant="ghost" onClick={() => goTo(0)}>
              {t('calendar.thisMonth')}
            </Button>
          )}
        </div>
        {month.error && <LoadError error={month.error} retry={month.reload} />}
        {!month.data && !month.error && <Loading />}
        {!bellsOn && <p class="notice notice-warn">{t('calendar.bellsOff')}</p>}
        <NoHolidayData lastUpdate={info.data?.lastUpdate} />
        {month.data && (
          <MonthGrid
            month={month.data}
            timetables={info.data?.timetables ?? []}
            bellsOn={bellsOn}
            planned={planned.data ?? []}
            onPick={(date) => {
              setPicked({ date, at: Date.now() });
              window.setTimeout(() => document.getElementById('picked-day-title')?.focus(), 0);
            }}
          />
        )}
        {picked && month.data && info.data && (
          <PickedDay
            date={picked.date}
            month={month.data}
            info={info.data}
            bellsOn={bellsOn}
            onChanged={reloadAll}
            toForm={() => {
              formRef.current?.scrollIntoView({ behavior: 'smooth', block: 'start' });
              document.getElementById('single-timetable')?.focus({ preventScroll: true });
            }}
          />
        )}
        <DayLegend />
        <p class="hint">{t('calendar.pickADay')}</p>
      </Card>
      {info.error && !info.data && <LoadError error={info.error} retry={info.reload} />}
      {!info.data && !info.error && <Loading />}
      {info.data && (
        <div class="two-columns" ref={formRef}>
          <SingleEvents info={info.data} rules={rules} picked={picked} onChanged={reloadAll} />
          <RecurringEvents info={info.data} rules={rules} onChanged={reloadAll} />
        </div>
      )}
      {info.data && <RegionSettings info={info.data} settings={settings} onChanged={reloadAll} />}
    </div>
  );
}

/** The day picked in the month: what rings on it, and what can be done about it. */
function PickedDay({ date, month, info, bellsOn, onChanged, toForm }: { date: string; month: Month; info: CalendarInfo; bellsOn: boolean; onChanged: () => Promise<void>; toForm: () => void }) {
  const cell = pickedCell(month, date);
  if (!cell) return null;
  const today = storedDate(info.date);
  return (
    <section class="picked-day" aria-labelledby="picked-day-title" data-testid="picked-day">
      <h3 id="picked-day-title" tabIndex={-1}>
        {describeDate(date)}
      </h3>
      <p>{describeDayBells(dayBells(cell, info.timetables, bellsOn))}</p>
      {date >= today && <DayActions date={date} kind={cell.typeOfDay} timetables={info.timetables} today={today} onChanged={onChanged} idBase="picked" />}
      <Button small variant="ghost" icon="down" onClick={toForm}>
        {t('calendar.toEventForm')}
      </Button>
    </section>
  );
}

/** The month's entry for a date, or null when the month does not show it. */
function pickedCell(month: Month, date: string) {
  try {
    return monthGrid(month).flatMap((w) => w.cells).find((c) => c.dateText === date) ?? null;
  } catch {
    return null;
  }
}

function rulesOf(info: CalendarInfo, settings: Settings): CalendarRules {
  return calendarRules(
    info.regions.find((r) => r.id === settings.calendar.syncRegionId),
    settings.calendar,
  );
}

/** How many days without school a form names before it says "…". */
const NAMED_DAYS = 4;

/** Before an event is saved: the days without school on which it would make the bells ring. */
function OverrideWarning({ text, note }: { text: string; note?: string }) {
  return (
    <div aria-live="polite">
      {(text || note) && (
        <div class="notice notice-warn notice-inline" data-testid="override-warning">
          <Icon name="alarm" size={18} />
          <span>
            {text && t('calendar.overrideWarning', { warning: text })}
            {text && note && ' '}
            {note}
          </span>
        </div>
      )}
    </div>
  );
}

/** The next days of a recurring event, or that there is none within a year. */
function nextText(days: string[]): string {
  return days.length ? t('calendar.nextDates', { dates: days.map(shortDate).join(', ') }) : t('calendar.noneWithinYear');
}

/** A form that adds an event: checked before it is sent, and `cleared` once the event is added. */
function useEventForm<T extends Query>(
  initial: T,
  { check, target, doneText, cleared, onChanged }: { check: (form: T) => FormResult<T>; target: string; doneText: string; cleared: (form: T) => T; onChanged: () => Promise<void> },
) {
  const [form, setForm] = useState(initial);
  const [errors, setErrors] = useState<Record<string, string>>({});
  const add = useAction();
  const submit = async (e: Event) => {
    e.preventDefault();
    const checked = check(form);
    if (!checked.ok) {
      setErrors(checked.errors);
      return;
    }
    setErrors({});
    const ok = await add.run(async () => {
      await api.trigger(target, '0', checked.value);
      await onChanged();
    }, doneText);
    if (ok) setForm(cleared(form));
  };
  return { form, setForm, errors, add, submit };
}

function TimetableField({ id, value, error, timetables, onChange }: { id: string; value: string; error: string | undefined; timetables: NamedId[]; onChange: (timetableId: string) => void }) {
  return (
    <Field id={id} label={t('calendar.timetable')} error={error}>
      <TimetableSelect id={id} value={value} onChange={onChange} timetables={timetables} placeholder={t('calendar.choose')} extra={described(id, error)} />
    </Field>
  );
}

/** The optional name of a new event. */
function EventNameField({ id, value, error, onChange }: { id: string; value: string; error: string | undefined; onChange: (name: string) => void }) {
  return (
    <Field id={id} label={t('calendar.eventName')} hint={t('calendar.eventNameHint')} error={error}>
      <input id={id} type="text" value={value} onInput={(e) => onChange(e.currentTarget.value)} {...described(id, error, true)} />
    </Field>
  );
}

/** An event's line in its list: its name when it has one, with the timetable it gives. */
const eventTitle = (name: string | undefined, timetableId: string, timetables: NamedId[]): string =>
  name ? t('calendar.namedEvent', { name, timetable: timetableLabel(timetableId, timetables) }) : timetableLabel(timetableId, timetables);

function SingleEvents({ info, rules, picked, onChanged }: { info: CalendarInfo; rules: CalendarRules | null; picked: { date: string; at: number } | null; onChanged: () => Promise<void> }) {
  const { form, setForm, errors, add, submit } = useEventForm<SingleEventInput>(
    { timetableId: '', startDate: '', endDate: '', name: '' },
    { check: checkSingleEvent, target: 'addSingleEvent', doneText: t('calendar.eventAdded'), cleared: (f) => ({ timetableId: f.timetableId, startDate: '', endDate: '', name: '' }), onChanged },
  );
  useEffect(() => {
    if (picked) setForm((f) => ({ ...f, startDate: picked.date, endDate: picked.date }));
  }, [picked]);
  return (
    <Card title={t('calendar.oneOffEvents')} id="single-events">
      <form onSubmit={submit} noValidate class="event-form">
        <TimetableField id="single-timetable" value={form.timetableId} error={errors.timetableId} timetables={info.timetables} onChange={(timetableId) => setForm({ ...form, timetableId })} />
        <div class="field-pair">
          <Field id="single-start" label={t('calendar.firstDay')} error={errors.startDate}>
            <DateInput id="single-start" value={form.startDate} onChange={(startDate) => setForm({ ...form, startDate, endDate: form.endDate || (parseDate(startDate).ok ? startDate : '') })} {...described('single-start', errors.startDate)} />
          </Field>
          <Field id="single-end" label={t('calendar.lastDay')} error={errors.endDate}>
            <DateInput id="single-end" value={form.endDate} min={form.startDate || undefined} onChange={(endDate) => setForm({ ...form, endDate })} {...described('single-end', errors.endDate)} />
          </Field>
        </div>
        <EventNameField id="single-name" value={form.name} error={errors.name} onChange={(name) => setForm({ ...form, name })} />
        {rules && form.timetableId !== NULL_ID && form.startDate && (
          <OverrideWarning text={describeOverrides(singleOverrides(form.startDate, form.endDate || form.startDate, rules, NAMED_DAYS + 1), NAMED_DAYS, info.date)} />
        )}
        <Button type="submit" variant="primary" icon="plus" busy={add.busy}>
          {t('calendar.addOneOff')}
        </Button>
        <Outcome action={add} />
      </form>
      <EventList
        kind="single"
        items={info.singleEvents.map((ev) => ({
          title: eventTitle(ev.name, ev.timeTableId, info.timetables),
          detail: ev.start === ev.end ? describeDate(ev.start) : t('calendar.dateRange', { start: describeDate(ev.start), end: describeDate(ev.end) }),
          gone: isGone(ev.timeTableId, info.timetables),
        }))}
        onChanged={onChanged}
      />
    </Card>
  );
}

function RecurringEvents({ info, rules, onChanged }: { info: CalendarInfo; rules: CalendarRules | null; onChanged: () => Promise<void> }) {
  const { form, setForm, errors, add, submit } = useEventForm<RecurringEventInput>(
    { timetableId: '', mode: 1, days: 0, name: '' },
    { check: checkRecurringEvent, target: 'addReoccurringEvent', doneText: t('calendar.recurringAdded'), cleared: (f) => ({ ...f, days: 0, name: '' }), onChanged },
  );
  return (
    <Card title={t('calendar.recurringEvents')} id="recurring-events">
      <form onSubmit={submit} noValidate class="event-form">
        <TimetableField id="recurring-timetable" value={form.timetableId} error={errors.timetableId} timetables={info.timetables} onChange={(timetableId) => setForm({ ...form, timetableId })} />
        <Field id="recurring-mode" label={t('calendar.weeks')}>
          <select id="recurring-mode" value={String(form.mode)} onChange={(e) => setForm({ ...form, mode: Number(e.currentTarget.value) })}>
            {RECURRENCE_MODES.map((m) => (
              <option key={m.code} value={String(m.code)}>
                {recurrenceLabel(m.code)}
              </option>
            ))}
          </select>
        </Field>
        <fieldset class={`weekdays ${errors.days ? 'field-invalid' : ''}`} aria-describedby={errors.days ? 'recurring-days-error' : undefined}>
          <legend>{t('calendar.weekdays')}</legend>
          <div class="weekday-boxes">
            {weekdaysShort().map((d, i) => {
              const chosen = maskHasDay(form.days, i);
              return (
                <button
                  type="button"
                  key={d}
                  class="weekday-box"
                  title={weekdaysLong()[i]}
                  aria-label={weekdaysLong()[i]}
                  aria-pressed={chosen}
                  onClick={() => setForm({ ...form, days: toggleDay(form.days, i) })}
                >
                  {chosen && <Icon name="check" size={14} />}
                  <span>{d}</span>
                </button>
              );
            })}
          </div>
          {errors.days && (
            <small class="field-error" id="recurring-days-error" role="alert">
              {errors.days}
            </small>
          )}
        </fieldset>
        <EventNameField id="recurring-name" value={form.name} error={errors.name} onChange={(name) => setForm({ ...form, name })} />
        <p class="hint" aria-live="polite">
          {form.days > 0
            ? nextText(nextOccurrences(form.mode, form.days, info.date, 4))
            : t('calendar.weekNumbersHint')}
        </p>
        {rules && (
          <OverrideWarning
            text={form.days > 0 && form.timetableId !== NULL_ID ? describeOverrides(recurringOverrides(form.mode, form.days, info.date, rules, info.singleEvents, NAMED_DAYS + 1), NAMED_DAYS, info.date) : ''}
            note={newYearNote(form.mode, info.date)}
          />
        )}
        <Button type="submit" variant="primary" icon="plus" busy={add.busy}>
          {t('calendar.addRecurring')}
        </Button>
        <Outcome action={add} />
      </form>
      <EventList
        kind="recurring"
        items={info.reoccurringEvents.map((ev) => ({
          title: eventTitle(ev.name, ev.timeTableId, info.timetables),
          detail: t('calendar.recurringDetail', { weeks: recurrenceLabel(ev.mode), days: describeMask(ev.days) }),
          gone: isGone(ev.timeTableId, info.timetables),
        }))}
        onChanged={onChanged}
      />
    </Card>
  );
}

/** An event whose timetable was deleted rings nothing on its days. */
const isGone = (id: string, timetables: NamedId[]): boolean => id !== NULL_ID && !timetables.some((t) => t.id === id);

function EventList({ kind, items, onChanged }: { kind: 'single' | 'recurring'; items: { title: string; detail: string; gone: boolean }[]; onChanged: () => Promise<void> }) {
  const remove = useAction();
  const confirm = useConfirm();
  const target = kind === 'single' ? 'deleteSingleEvent' : 'deleteReoccurringEvent';
  if (items.length === 0) return <p class="muted event-empty">{kind === 'single' ? t('calendar.noOneOff') : t('calendar.noRecurring')}</p>;
  return (
    <>
      <h3 class="section-title">{kind === 'single' ? t('calendar.planned') : t('calendar.inForce')}</h3>
      <p class="hint">{t('calendar.newestCounts')}</p>
      <ul class="rows events">
        {items.map((item, index) => (
          <li class="row" key={`${index}-${item.title}-${item.detail}`} data-testid={`${kind}-event`}>
            <div class="row-main">
              <span class="row-title">{item.title}</span>
              <span class="row-meta">{item.detail}</span>
              {item.gone && (
                <span class="row-warning">
                  <Icon name="alarm" size={16} /> {t('calendar.timetableGone')}
                </span>
              )}
            </div>
            <div class="row-actions">
              <Button
                small
                variant="danger"
                icon="trash"
                aria-label={t('calendar.removeNamed', { title: item.title, detail: item.detail })}
                onClick={async () => {
                  const yes = await confirm.ask({ title: t('calendar.removeTitle'), message: <p>{item.title}: {item.detail}</p>, confirmLabel: t('calendar.remove'), danger: true });
                  if (yes)
                    await remove.run(async () => {
                      await api.trigger(target, String(index));
                      await onChanged();
                    });
                }}
              >
                {t('calendar.remove')}
              </Button>
            </div>
          </li>
        ))}
      </ul>
      <Outcome action={remove} />
      {confirm.element}
    </>
  );
}

function RegionSettings({ info, settings, onChanged }: { info: CalendarInfo; settings: Loaded<Settings>; onChanged: () => Promise<void> }) {
  const save = useAction();
  const change = (changes: Record<string, unknown>, done: string) =>
    save.run(async () => {
      await api.updateSettings(changes);
      await onChanged();
    }, done);
  const cal = settings.data?.calendar;
  return (
    <Card title={t('calendar.regionAndWeek')} id="region">
      {settings.error && !settings.data && <LoadError error={settings.error} retry={settings.reload} />}
      {!cal && !settings.error && <Loading />}
      {cal && <CalendarSettingsForm cal={cal} regions={info.regions} busy={save.busy} change={change} />}
      <p class="hint">
        {t('calendar.lastUpdate')} <strong>{info.lastUpdate ? describeDate(info.lastUpdate) : t('calendar.never')}</strong>.
        {info.regions.length === 0 && <> {t('calendar.regionsPending', { product: PRODUCT_NAME })}</>}
      </p>
      <Outcome action={save} />
    </Card>
  );
}

export function CalendarSettingsForm({
  cal,
  regions,
  busy,
  change,
  idBase = 'cal',
}: {
  cal: { workdayMode: number; syncRegionId: string; syncSchoolHolidays: boolean };
  regions: NamedId[];
  busy: boolean;
  change: (changes: Record<string, unknown>, done: string) => void;
  idBase?: string;
}) {
  const regionKnown = regions.some((r) => r.id === cal.syncRegionId);
  return (
    <div class="settings-grid">
      <Field id={`${idBase}-region`} label={t('calendar.region')} hint={t('calendar.regionHint')}>
        <select id={`${idBase}-region`} value={cal.syncRegionId} disabled={busy} onChange={(e) => change({ 'calendar.syncRegionId': e.currentTarget.value }, t('calendar.regionChanged'))} {...described(`${idBase}-region`, null, true)}>
          {!regionKnown && <option value={cal.syncRegionId}>{t('calendar.chosenRegionNoData')}</option>}
          {regions.map((r) => (
            <option key={r.id} value={r.id}>
              {r.name || t('calendar.regionWithoutName')}
            </option>
          ))}
        </select>
      </Field>
      <Field id={`${idBase}-workweek`} label={t('calendar.schoolWeek')}>
        <select id={`${idBase}-workweek`} value={String(cal.workdayMode)} disabled={busy} onChange={(e) => change({ 'calendar.workdayMode': Number(e.currentTarget.value) }, t('calendar.schoolWeekChanged'))}>
          {!WORKDAY_MODES.some((m) => m.code === cal.workdayMode) && <option value={String(cal.workdayMode)}>{workdayModeLabel(cal.workdayMode)}</option>}
          {WORKDAY_MODES.map((m) => (
            <option key={m.code} value={String(m.code)}>
              {workdayModeLabel(m.code)}
            </option>
          ))}
        </select>
      </Field>
      <div class="field">
        <label class="switch" for={`${idBase}-breaks`}>
          <input id={`${idBase}-breaks`} type="checkbox" role="switch" checked={cal.syncSchoolHolidays} disabled={busy} onChange={(e) => change({ 'calendar.syncSchoolHolidays': e.currentTarget.checked }, e.currentTarget.checked ? t('calendar.holidaysCount') : t('calendar.holidaysIgnored'))} />
          <span class="switch-track" aria-hidden="true" />
          {t('calendar.holidaysSwitch')}
        </label>
      </div>
    </div>
  );
}

