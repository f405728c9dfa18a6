// One month, Monday first. Each day says first whether bells ring and by which timetable, and
// second what kind of day it is; days on which an event makes the bells ring although there is
// no school are marked.
import type { Month, NamedId, PlannedQuiet } from '../api/types';
import { t, type MessageKey } from '../i18n';
import { monthAndYear } from '../i18n/format';
import { DAY_KINDS, dayBells, describeDayBells, monthGrid } from '../lib/calendar';
import { errorText } from '../lib/hooks';
import { describeDate, weekdaysLong, weekdaysShort } from '../lib/time';
import { Icon } from './Icon';
import './MonthGrid.css';

interface Props {
  month: Month;
  timetables: NamedId[];
  /** False while the bells are switched off: then no day rings. */
  bellsOn: boolean;
  /** Called with the date text when a day is picked; days are plain text without it. */
  onPick?: (dateText: string) => void;
  compact?: boolean;
  /** Quiet periods planned: each shows in its day. */
  planned?: PlannedQuiet[];
}

/** Short names of the kinds of day, for the small tag of each day. */
const KIND_TAGS: Record<string, MessageKey> = {
  WORKDAY: 'monthGrid.tagSchoolDay',
  NON_WORKDAY: 'monthGrid.tagDayOff',
  HOLIDAY: 'monthGrid.tagPublicHoliday',
  SCHOOL_BREAK: 'monthGrid.tagSchoolHoliday',
  REPLACED_WORKDAY: 'monthGrid.tagExtraSchoolDay',
};

const kindTag = (kind: string): string | undefined => (kind in KIND_TAGS ? t(KIND_TAGS[kind]) : undefined);

export function MonthGrid({ month, timetables, bellsOn, onPick, compact, planned = [] }: Props) {
  let weeks;
  try {
    weeks = monthGrid(month);
  } catch (e) {
    return (
      <p class="notice notice-error" role="alert">
        {errorText(e)}
      </p>
    );
  }
  const caption = monthAndYear(month.year, month.month);
  return (
    <div class={`month ${compact ? 'month-compact' : ''}`}>
      <table class="month-grid">
        <caption class="visually-hidden">{caption}</caption>
        <thead>
          <tr>
            <th scope="col" class="week-no">
              <abbr title={t('monthGrid.weekNumber')}>{t('monthGrid.weekNumberShort')}</abbr>
            </th>
            {weekdaysShort().map((d, i) => (
              <th scope="col" key={d}>
                <abbr title={weekdaysLong()[i]}>{d}</abbr>
              </th>
            ))}
          </tr>
        </thead>
        <tbody>
          {weeks.map((week) => (
            <tr key={week.isoWeek + week.cells[0].dateText}>
              <th scope="row" class="week-no">
                {week.isoWeek}
              </th>
              {week.cells.map((cell) => {
                const bells = dayBells(cell, timetables, bellsOn);
                const quiet = planned
                  .filter((p) => p.date === cell.dateText)
                  .map((p) => t('monthGrid.quiet', { from: p.from, to: p.to }) + (p.name ? ` (${p.name})` : ''));
                const day = { date: describeDate(cell.dateText), bells: describeDayBells(bells) };
                const label = [cell.isToday ? t('monthGrid.todayLabel', day) : t('monthGrid.dayLabel', day), ...quiet].join('. ');
                const classes = [
                  'day',
                  bells.rings ? 'day-rings' : 'day-silent',
                  bells.kind.className,
                  cell.isGivenMonth ? '' : 'day-outside',
                  cell.isToday ? 'day-today' : '',
                  bells.overrides ? 'day-override' : '',
                ].join(' ');
                const body = (
                  <>
                    <span class="day-head">
                      <span class="day-number">{cell.day}</span>
                      <span class="day-kind">{kindTag(bells.kind.kind) ?? bells.kind.label}</span>
                    </span>
                    <span class="day-timetable">
                      {bells.overrides && <Icon name="alarm" size={12} class="icon day-flag" />}
                      <span class="day-title">{bells.title}</span>
                    </span>
                    {quiet.map((line) => (
                      <span class="day-quiet" key={line}>
                        {line}
                      </span>
                    ))}
                  </>
                );
                return (
                  <td key={cell.dateText} class={classes} data-date={cell.dateText} aria-current={cell.isToday ? 'date' : undefined}>
                    {onPick ? (
                      <button type="button" class="day-button" aria-label={label} title={label} onClick={() => onPick(cell.dateText)}>
                        {body}
                      </button>
                    ) : (
                      <div class="day-box" title={label}>
                        <span class="visually-hidden">{label}</span>
                        <span aria-hidden="true" class="day-inner">
                          {body}
                        </span>
                      </div>
                    )}
                  </td>
                );
              })}
            </tr>
          ))}
        </tbody>
      </table>
    </div>
  );
}

/**
 * Until the online service has sent holiday data (`lastUpdate` is empty), the calendar knows no
 * public holiday and no school holiday: on those days it rings like on any school day.
 */
export function NoHolidayData({ lastUpdate }: { lastUpdate: string | undefined }) {
  if (lastUpdate !== '') return null;
  return (
    <p class="notice notice-warn notice-holidays" data-testid="no-holiday-data">
      <Icon name="alarm" size={18} />
      <span>{t('monthGrid.noHolidayData')}</span>
    </p>
  );
}

/** What the colours and marks of the grid mean: bells first, then the kinds of day. */
export function DayLegend() {
  return (
    <div class="legend-block">
      <ul class="legend" aria-label={t('monthGrid.legendBells')}>
        <li>
          <span class="swatch swatch-rings" aria-hidden="true" />
          {t('monthGrid.legendRings')}
        </li>
        <li>
          <span class="swatch swatch-silent" aria-hidden="true" />
          {t('monthGrid.legendSilent')}
        </li>
        <li>
          <span class="swatch swatch-override" aria-hidden="true">
            <Icon name="alarm" size={12} />
          </span>
          {t('monthGrid.legendOverride')}
        </li>
        <li>
          <span class="swatch swatch-today" aria-hidden="true" />
          {t('monthGrid.legendToday')}
        </li>
      </ul>
      <ul class="legend" aria-label={t('monthGrid.legendKinds')}>
        {DAY_KINDS.map((k) => (
          <li key={k.kind}>
            <span class={`kind-tag ${k.className}`}>{kindTag(k.kind)}</span>
            {k.label}
          </li>
        ))}
      </ul>
    </div>
  );
}
