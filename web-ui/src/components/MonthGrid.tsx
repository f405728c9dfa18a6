// One month, Monday first. Each day says first whether bells ring and by which timetable, and
// second what kind of day it is; days on which an event makes the bells ring although there is
// no school are marked.
import type { Month, NamedId } from '../api/types';
import { DAY_KINDS, dayBells, describeDayBells, monthGrid } from '../lib/calendar';
import { errorText } from '../lib/hooks';
import { describeDate, monthName, weekdaysLong, weekdaysShort } from '../lib/time';
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
}

/** Short names of the kinds of day, for the small tag of each day. */
const KIND_TAGS: Record<string, string> = {
  WORKDAY: 'School',
  NON_WORKDAY: 'Day off',
  HOLIDAY: 'Holiday',
  SCHOOL_BREAK: 'Break',
  REPLACED_WORKDAY: 'Extra day',
};

export function MonthGrid({ month, timetables, bellsOn, onPick, compact }: Props) {
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
  const caption = `${monthName(month.month)} ${month.year}`;
  return (
    <div class={`month ${compact ? 'month-compact' : ''}`}>
      <table class="month-grid">
        <caption class="visually-hidden">{caption}</caption>
        <thead>
          <tr>
            <th scope="col" class="week-no">
              <abbr title="ISO week number">Wk</abbr>
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
                const label = `${describeDate(cell.dateText)}: ${describeDayBells(bells)}${cell.isToday ? ' (today)' : ''}`;
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
                      <span class="day-kind">{KIND_TAGS[bells.kind.kind] ?? bells.kind.label}</span>
                    </span>
                    <span class="day-timetable">
                      {bells.overrides && <Icon name="alarm" size={12} class="icon day-flag" />}
                      {bells.title}
                    </span>
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

/** What the colours and marks of the grid mean: bells first, then the kinds of day. */
export function DayLegend() {
  return (
    <div class="legend-block">
      <ul class="legend" aria-label="Bells">
        <li>
          <span class="swatch swatch-rings" aria-hidden="true" />
          Bells ring (by the timetable named)
        </li>
        <li>
          <span class="swatch swatch-silent" aria-hidden="true" />
          No bells
        </li>
        <li>
          <span class="swatch swatch-override" aria-hidden="true">
            <Icon name="alarm" size={12} />
          </span>
          Rings although there is no school: an event overrides the day
        </li>
        <li>
          <span class="swatch swatch-today" aria-hidden="true" />
          Today
        </li>
      </ul>
      <ul class="legend" aria-label="Kinds of day">
        {DAY_KINDS.map((k) => (
          <li key={k.kind}>
            <span class={`kind-tag ${k.className}`}>{KIND_TAGS[k.kind]}</span>
            {k.label}
          </li>
        ))}
      </ul>
    </div>
  );
}
