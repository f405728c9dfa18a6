// Tomorrow on the dashboard: its timetable and why it applies, its first and last bell, and, when
// tomorrow rings nothing, the next day that does.
import { api } from '../api/client';
import type { DayPlan, NamedId } from '../api/types';
import { t } from '../i18n';
import { dayKindInfo } from '../lib/calendar';
import { dayReason, dayTimetable, firstAndLast, nextDayWithBells, SEARCH_AHEAD } from '../lib/days';
import { useLoad, usePolling } from '../lib/hooks';
import { sayTime, sourceLabel } from '../lib/playLog';
import { describeDate } from '../lib/time';
import { shortTime } from './DayAtAGlance';
import { ButtonLink, Card, LoadError, Loading } from './ui';

/** Once a minute is enough: the plan changes with the calendar, and at midnight. */
const REFRESH_MS = 60000;

/** `today`: the server's date as the dashboard shows it; when it changes, tomorrow is another day. */
export function TomorrowCard({ timetables, today }: { timetables: NamedId[]; today: string }) {
  const plan = useLoad(() => api.days(SEARCH_AHEAD + 1), [today]);
  usePolling(plan.reload, REFRESH_MS);
  const answer = plan.data;
  const at = answer ? answer.days.findIndex((d) => d.date === answer.today) + 1 : -1;
  const tomorrow = answer && at > 0 ? answer.days[at] : undefined;
  return (
    <Card
      title={t('tomorrow.title')}
      class="tomorrow-card"
      id="tomorrow"
      actions={
        <ButtonLink href="/week" icon="calendar">
          {t('tomorrow.openWeek')}
        </ButtonLink>
      }
    >
      {plan.error && !answer && <LoadError error={plan.error} retry={plan.reload} />}
      {!answer && !plan.error && <Loading />}
      {answer && !tomorrow && <p class="muted">{t('tomorrow.unknown')}</p>}
      {answer && tomorrow && (
        <>
          <p class="clock-date">{describeDate(tomorrow.date)}</p>
          {!answer.bellsOn && <p class="notice notice-warn">{t('tomorrow.bellsOff')}</p>}
          <Tomorrow day={tomorrow} timetables={timetables} />
          {tomorrow.bells.length === 0 && <NextWithBells day={nextDayWithBells(answer.days, at, SEARCH_AHEAD - at)} timetables={timetables} />}
        </>
      )}
    </Card>
  );
}

const bellText = (bell: DayPlan['bells'][number]): string => t('tomorrow.bellAt', { time: shortTime(bell.at), what: sourceLabel(bell.source, bell.lesson) });

function Tomorrow({ day, timetables }: { day: DayPlan; timetables: NamedId[] }) {
  const kind = dayKindInfo(day.typeOfDay);
  const ends = firstAndLast(day);
  return (
    <dl class="facts">
      <div>
        <dt>{t('tomorrow.timetable')}</dt>
        <dd>
          <strong data-testid="tomorrow-timetable">{dayTimetable(day, timetables)}</strong>
          <span class="reason" data-testid="tomorrow-reason">
            {dayReason(day)}
          </span>
        </dd>
      </div>
      <div>
        <dt>{t('dashboard.kindOfDay')}</dt>
        <dd>
          <span class={`chip ${kind.className}`}>{kind.label}</span>
        </dd>
      </div>
      {ends ? (
        <>
          <div>
            <dt>{t('tomorrow.firstBell')}</dt>
            <dd data-testid="tomorrow-first">{bellText(ends.first)}</dd>
          </div>
          <div>
            <dt>{t('tomorrow.lastBell')}</dt>
            <dd data-testid="tomorrow-last">{bellText(ends.last)}</dd>
          </div>
        </>
      ) : (
        <div>
          <dt>{t('tomorrow.bells')}</dt>
          <dd data-testid="tomorrow-first">{t('tomorrow.noBells')}</dd>
        </div>
      )}
      {day.quiet.length > 0 && (
        <div>
          <dt>{t('tomorrow.quiet')}</dt>
          <dd>{day.quiet.map((q) => t('monthGrid.quiet', { from: sayTime(q.from), to: sayTime(q.to) }) + (q.name ? ` (${q.name})` : '')).join(', ')}</dd>
        </div>
      )}
    </dl>
  );
}

function NextWithBells({ day, timetables }: { day: DayPlan | null; timetables: NamedId[] }) {
  if (!day) return <p class="muted" data-testid="tomorrow-next">{t('tomorrow.noneAhead', { days: SEARCH_AHEAD })}</p>;
  const ends = firstAndLast(day);
  return (
    <p data-testid="tomorrow-next">
      {t('tomorrow.nextWithBells', { date: describeDate(day.date), timetable: dayTimetable(day, timetables), time: ends ? shortTime(ends.first.at) : '' })}
    </p>
  );
}
