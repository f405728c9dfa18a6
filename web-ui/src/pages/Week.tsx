// One school week, Monday to Sunday: each day's kind, timetable and why it applies, its bells, its
// quiet periods and programmes, and what can be changed about it. It prints on one page.
import { api } from '../api/client';
import { NULL_ID, type DayPlan, type NamedId } from '../api/types';
import { DayActions } from '../components/DayActions';
import { shortTime } from '../components/DayAtAGlance';
import { Icon } from '../components/Icon';
import { Button, Card, LoadError, Loading, PageHeader } from '../components/ui';
import { t } from '../i18n';
import { dayAndMonth, weekdayLong } from '../i18n/format';
import { dayKindInfo } from '../lib/calendar';
import { dateSpan, dayReason, dayTimetable, inQuiet, storedDate, weekStart } from '../lib/days';
import { useLoad, usePolling, useTitle } from '../lib/hooks';
import { sayTime, sourceLabel } from '../lib/playLog';
import { addDays, formatDate, isoWeek, parseDate } from '../lib/time';
import { navigate, useLocation } from '../router';
import './Week.css';

/** Weeks before or after this one, from the address; about ten years either way. */
function readOffset(query: URLSearchParams): number {
  const n = Number(query.get('offset') ?? '0');
  return Number.isInteger(n) && Math.abs(n) < 520 ? n : 0;
}

async function loadWeek(offset: number) {
  const info = await api.calendarInfo();
  const today = storedDate(info.date);
  const monday = weekStart(today, offset) ?? today;
  const week = await api.days(7, monday);
  return { timetables: info.timetables, today, monday, week };
}

export function WeekPage() {
  useTitle(t('week.title'));
  const { query } = useLocation();
  const offset = readOffset(query);
  const load = useLoad(() => loadWeek(offset), [offset]);
  // Today moves on at midnight, and another browser may change the calendar.
  usePolling(load.reload, 60000);
  const goTo = (next: number) => navigate(next === 0 ? '/week' : `/week?offset=${next}`, { replace: true });
  const data = load.data;
  const monday = data ? parseDate(data.monday) : null;
  const heading =
    monday?.ok ? t('week.heading', { week: isoWeek(monday.value), dates: dateSpan(data!.monday, formatDate(addDays(monday.value, 6))) }) : '…';

  return (
    <div class="week-page">
      <PageHeader title={t('week.title')}>
        <Button icon="list" onClick={() => window.print()}>
          {t('week.print')}
        </Button>
      </PageHeader>
      <Card class="week-card" id="week">
        <div class="month-nav week-nav">
          <Button icon="left" onClick={() => goTo(offset - 1)} aria-label={t('week.previousWeek')}>
            <span class="nav-word">{t('calendar.previous')}</span>
          </Button>
          <h2 class="month-title week-title" aria-live="polite" data-testid="week-title">
            {heading}
          </h2>
          <Button icon="right" onClick={() => goTo(offset + 1)} aria-label={t('week.nextWeek')}>
            <span class="nav-word">{t('calendar.next')}</span>
          </Button>
          {offset !== 0 && (
            <Button small variant="ghost" onClick={() => goTo(0)}>
              {t('week.thisWeek')}
            </Button>
          )}
        </div>
        {load.error && <LoadError error={load.error} retry={load.reload} />}
        {!data && !load.error && <Loading />}
        {data && !data.week.bellsOn && <p class="notice notice-warn">{t('calendar.bellsOff')}</p>}
        {data && (
          <ol class="week-days">
            {data.week.days.map((day) => (
              <WeekDay key={day.date} day={day} timetables={data.timetables} today={data.today} onChanged={load.reload} />
            ))}
          </ol>
        )}
      </Card>
    </div>
  );
}

function WeekDay({ day, timetables, today, onChanged }: { day: DayPlan; timetables: NamedId[]; today: string; onChanged: () => Promise<void> }) {
  const kind = dayKindInfo(day.typeOfDay);
  const parsed = parseDate(day.date);
  const rings = day.bells.length > 0;
  return (
    <li class={`week-day ${rings ? 'week-rings' : 'week-silent'} ${day.isToday ? 'week-today' : ''}`} data-date={day.date} data-testid="week-day" aria-current={day.isToday ? 'date' : undefined}>
      <h3 class="week-day-head">
        <span class="week-day-name">{parsed.ok ? weekdayLong(day.dayOfWeek) : day.date}</span>
        <span class="week-day-date">{parsed.ok ? dayAndMonth(parsed.value) : ''}</span>
        {day.isToday && <span class="chip chip-accent week-today-chip">{t('monthGrid.legendToday')}</span>}
      </h3>
      <p class="week-day-kind">
        <span class={`chip ${kind.className}`}>{kind.label}</span>
      </p>
      <p class="week-day-timetable" data-testid="week-timetable">
        <Icon name={rings ? 'bell' : 'close'} size={16} />
        <strong>{dayTimetable(day, timetables)}</strong>
      </p>
      <p class="week-day-reason">{dayReason(day)}</p>
      {(day.quiet.length > 0 || day.programmes.length > 0) && (
        <ul class="week-marks">
          {day.quiet.map((q) => (
            <li key={q.id} class="week-quiet" data-testid="week-quiet">
              {t('monthGrid.quiet', { from: sayTime(q.from), to: sayTime(q.to) })}
              {q.name && ` (${q.name})`}
            </li>
          ))}
          {day.programmes.map((p) => (
            <li key={`${p.at}-${p.name}`} class="week-programme">
              {t('week.programmeAt', { time: shortTime(p.at), name: p.name })}
            </li>
          ))}
        </ul>
      )}
      {rings ? (
        <ol class="week-bells" aria-label={t('week.bellsOf', { date: dateSpan(day.date, day.date) })}>
          {day.bells.map((bell) => {
            const quiet = inQuiet(bell.at, day.quiet);
            return (
              <li key={`${bell.at}-${bell.source}-${bell.lesson}`} class={quiet ? 'week-bell bell-held' : 'week-bell'} data-testid="week-bell">
                <span class="bell-at">{shortTime(bell.at)}</span>
                <span class="bell-what">
                  {sourceLabel(bell.source, bell.lesson)}
                  {quiet && ' '}
                  {quiet && <span class="bell-held-note">({t('playLog.quietPeriod')})</span>}
                </span>
              </li>
            );
          })}
        </ol>
      ) : (
        // A timetable without a bell says so; "No bells" above already says it for none.
        day.timetableId !== NULL_ID && <p class="muted week-no-bells">{t('week.noBellsInTimetable')}</p>
      )}
      {day.date >= today && <DayActions date={day.date} kind={day.typeOfDay} timetables={timetables} today={today} onChanged={onChanged} idBase={`day-${day.date}`} />}
    </li>
  );
}
