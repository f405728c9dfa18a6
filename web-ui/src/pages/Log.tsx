// The logs of any day: the plays (what was due, what made it, and whether it rang, when, and how
// late), and the changes (what was done to the installation, when, and from where).
import { api } from '../api/client';
import type { ChangeLogEntry } from '../api/types';
import { DateInput } from '../components/DateInput';
import { Button, Card, LoadError, Loading, PageHeader } from '../components/ui';
import { actionLabel } from '../lib/alerts';
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

type Tab = 'plays' | 'changes';

const TABS: { tab: Tab; label: MessageKey; title: MessageKey }[] = [
  { tab: 'plays', label: 'log.playsTab', title: 'log.title' },
  { tab: 'changes', label: 'log.changesTab', title: 'log.changesTitle' },
];

export function LogPage() {
  const { query } = useLocation();
  const asked = query.get('date');
  const tab: Tab = query.get('tab') === 'changes' ? 'changes' : 'plays';
  const shown = TABS.find((each) => each.tab === tab) ?? TABS[0];
  useTitle(t(shown.title));
  // The server's day decides what today is: its clock rings the bells.
  const serverToday = useLoad(async () => (await api.overview()).activeTimetableInfo.date);
  const today = serverToday.data ?? browserToday();
  const date = asked && parseDate(asked).ok ? asked : today;
  const address = (nextDate: string, nextTab: Tab) => `/log?date=${nextDate}${nextTab === 'plays' ? '' : `&tab=${nextTab}`}`;
  const show = (next: string) => navigate(address(next, tab), { replace: true });

  return (
    <div>
      <PageHeader title={t(shown.title)}>
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
      <div class="log-tabs" role="tablist" aria-label={t('log.whichLog')}>
        {TABS.map((each) => (
          <button
            key={each.tab}
            type="button"
            role="tab"
            id={`log-tab-${each.tab}`}
            aria-selected={each.tab === tab}
            aria-controls="log-panel"
            class={`log-tab ${each.tab === tab ? 'log-tab-active' : ''}`}
            onClick={() => navigate(address(date, each.tab), { replace: true })}
          >
            {t(each.label)}
          </button>
        ))}
      </div>
      <div role="tabpanel" id="log-panel" aria-labelledby={`log-tab-${tab}`}>
        {tab === 'plays' ? <PlayLog date={date} today={today} /> : <ChangeLog date={date} today={today} />}
      </div>
    </div>
  );
}

function PlayLog({ date, today }: { date: string; today: string }) {
  const entries = useLoad(() => api.playLog(date), [date]);
  // Today's log grows while it is shown.
  usePolling(() => (date === today ? entries.reload() : undefined), 15000);
  return (
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
  );
}

const CHANGE_COLUMNS: MessageKey[] = ['log.changeTime', 'log.change', 'log.changeTarget', 'log.changeSummary', 'log.changeFrom'];

function ChangeLog({ date, today }: { date: string; today: string }) {
  const entries = useLoad(() => api.changeLog(date), [date]);
  usePolling(() => (date === today ? entries.reload() : undefined), 15000);
  return (
    <Card title={describeDate(date)} id="change-log">
      {entries.error && !entries.data && <LoadError error={entries.error} retry={entries.reload} />}
      {!entries.data && !entries.error && <Loading />}
      {entries.data && entries.data.length === 0 && <p class="muted">{t('log.changesEmpty')}</p>}
      {entries.data && entries.data.length > 0 && (
        <table class="table log-table change-table">
          <thead>
            <tr>
              {CHANGE_COLUMNS.map((column) => (
                <th key={column} scope="col">
                  {t(column)}
                </th>
              ))}
            </tr>
          </thead>
          {/* In the order of the day, as the plays are. */}
          <tbody>
            {entries.data.map((entry: ChangeLogEntry, i) => (
              <tr key={i} data-testid="change-row">
                <td data-label={t('log.changeTime')}>{timeOfIso(entry.time)}</td>
                <th scope="row">{actionLabel(entry.action)}</th>
                <td data-label={t('log.changeTarget')}>{entry.target}</td>
                {/* The server writes it in English, and says so to a screen reader. */}
                <td data-label={t('log.changeSummary')} lang="en">
                  {entry.summary}
                </td>
                <td data-label={t('log.changeFrom')} class="change-from">
                  {entry.client}
                  {entry.session && <small>{t('log.session', { session: entry.session })}</small>}
                </td>
              </tr>
            ))}
          </tbody>
        </table>
      )}
    </Card>
  );
}
