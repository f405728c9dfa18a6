// The play log of any day: what was due, what made it, and whether it rang, when, and how late.
import { api } from '../api/client';
import { DateInput } from '../components/DateInput';
import { Button, Card, LoadError, Loading, PageHeader } from '../components/ui';
import { useLoad, usePolling, useTitle } from '../lib/hooks';
import { markText, sourceLabel, timeOfIso } from '../lib/playLog';
import { addDays, describeDate, formatDate, parseDate } from '../lib/time';
import { navigate, useLocation } from '../router';
import './Log.css';

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
  useTitle('Play log');
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
      <PageHeader title="Play log">
        <div class="log-nav">
          <Button small icon="left" onClick={() => show(shiftDay(date, -1))} aria-label="The day before">
            Day before
          </Button>
          <label class="visually-hidden" for="log-date">
            Day
          </label>
          <DateInput id="log-date" value={date} max={today} onChange={(next) => parseDate(next).ok && next <= today && show(next)} />
          <Button small icon="right" onClick={() => show(shiftDay(date, 1))} disabled={date >= today} aria-label="The day after">
            Day after
          </Button>
        </div>
      </PageHeader>
      <Card title={describeDate(date)} id="play-log">
        {entries.error && !entries.data && <LoadError error={entries.error} retry={entries.reload} />}
        {!entries.data && !entries.error && <Loading />}
        {entries.data && entries.data.length === 0 && <p class="muted">Nothing was played or due on this day.</p>}
        {entries.data && entries.data.length > 0 && (
          <table class="table log-table">
            <thead>
              <tr>
                {['Due', 'What', 'Signal', 'Outcome'].map((name) => (
                  <th key={name} scope="col">
                    {name}
                  </th>
                ))}
              </tr>
            </thead>
            <tbody>
              {entries.data.map((entry, i) => {
                const mark = markText(entry.outcome, entry.started, entry.lateMs, entry.detail);
                return (
                  <tr key={i} data-testid="log-row" class={`mark-${mark.tone}`}>
                    <td data-label="Due">{timeOfIso(entry.due)}</td>
                    <th scope="row">{sourceLabel(entry.source, entry.lesson)}</th>
                    <td data-label="Signal">{entry.songName || entry.songId}</td>
                    <td data-label="Outcome" class="bell-mark">
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
