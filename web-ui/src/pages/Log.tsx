// The play log of any day: what was due, what made it, and whether it rang, when, and how late.
import { api } from '../api/client';
import { DateInput } from '../components/DateInput';
import { Button, Card, LoadError, Loading, PageHeader } from '../components/ui';
import { useLoad, usePolling, useTitle } from '../lib/hooks';
import { markText, sourceLabel, timeOfIso } from '../lib/playLog';
import { addDays, describeDate, formatDate, parseDate } from '../lib/time';
import { navigate, useLocation } from '../router';
import { t, type MessageKey } from '../i18n';
import { signalName } from '../i18n/factoryNames';
import './Log.css';

const COLUMNS: MessageKey[] = ['log.due', 'log.what', 'log.signal', 'log.outcome'];

/** Today as the browser's calendar has it, until the server has said which day it is. */
function browserToday(): string {
  const now = new Date();
  return formatDate({ y: now.getFullYear(), m: now.getMonth() + 1, d: now.getDate() });
}

function shiftDay(date: string, days: number): string {
  const parsed = parseDate(date);
  return parsed.ok ? formatDate(addDays(parsed.value, days)) : date;
}

export function LogPage() {
  useTitle(t('log.title'));
  const { query } = useLocation();
  const asked = query.get('date');
  // The server's day decides what today is: its clock rings the bells.
  const serverToday = useLoad(async () => (await api.overview()).activeTimetableInfo.date);
  const today = serverToday.data ?? browserToday();
  const date = asked && parseDate(asked).ok ? asked : today;
  const entries = useLoad(() => api.playLog(date), [date]);
  // Today's log grows while it is shown.
  usePolling(() => (date === today ? entries.reload() : undefined), 15000);
  const show = (next: string) => navigate(`/log?date=${next}`, { replace: true });

  return (
    <div>
      <PageHeader title={t('log.title')}>
        <div class="log-nav">
          <Button small icon="left" onClick={() => show(shiftDay(date, -1))} aria-label={t('log.theDayBefore')}>
            {t('log.dayBefore')}
          </Button>
          <label class="visually-hidden" for="log-date">
            {t('log.day')}
          </label>
          <DateInput id="log-date" value={date} max={today} onChange={(next) => parseDate(next).ok && next <= today && show(next)} />
          <Button small icon="right" onClick={() => show(shiftDay(date, 1))} disabled={date >= today} aria-label={t('log.theDayAfter')}>
            {t('log.dayAfter')}
          </Button>
        </div>
      </PageHeader>
      <Card title={describeDate(date)} id="play-log">
        {entries.error && !entries.data && <LoadError error={entries.error} retry={entries.reload} />}
        {!entries.data && !entries.error && <Loading />}
        {entries.data && entries.data.length === 0 && <p class="muted">{t('log.empty')}</p>}
        {entries.data && entries.data.length > 0 && (
          <table class="table log-table">
            <thead>
              <tr>
                {COLUMNS.map((column) => (
                  <th key={column} scope="col">
                    {t(column)}
                  </th>
                ))}
              </tr>
            </thead>
            <tbody>
              {entries.data.map((entry, i) => {
                const mark = markText(entry.outcome, entry.started, entry.lateMs, entry.detail);
                return (
                  <tr key={i} data-testid="log-row" class={`mark-${mark.tone}`}>
                    <td data-label={t('log.due')}>{timeOfIso(entry.due)}</td>
                    <th scope="row">{sourceLabel(entry.source, entry.lesson)}</th>
                    <td data-label={t('log.signal')}>{signalName(entry.songId, entry.songName) || entry.songId}</td>
                    <td data-label={t('log.outcome')} class="bell-mark">
                      {mark.text}
                      {mark.detail && <small>{mark.detail}</small>}
                    </td>
                  </tr>
                );
              })}
            </tbody>
          </table>
        )}
      </Card>
    </div>
  );
}
