// One month, Monday first, each day coloured by its kind and labelled with its timetable.
import { NULL_ID, type Month, type NamedId } from '../api/types';
import { DAY_KINDS, dayKindInfo, monthGrid } from '../lib/calendar';
import { timetableLabel } from '../lib/forms';
import { errorText } from '../lib/hooks';
import { describeDate, monthName, WEEKDAY_LONG, WEEKDAY_SHORT } from '../lib/time';

interface Props {
  month: Month;
  timetables: NamedId[];
  /** Called with the date text when a day is picked; days are plain text without it. */
  onPick?: (dateText: string) => void;
  compact?: boolean;
}

export function MonthGrid({ month, timetables, onPick, compact }: Props) {
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
            {WEEKDAY_SHORT.map((d, i) => (
              <th scope="col" key={d}>
                <abbr title={WEEKDAY_LONG[i]}>{d}</abbr>
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
                const kind = dayKindInfo(cell.typeOfDay);
                const name = timetableLabel(cell.id, timetables);
                const label = `${describeDate(cell.dateText)}: ${kind.label}, ${name}${cell.isToday ? ' (today)' : ''}`;
                const classes = `day ${kind.className} ${cell.isGivenMonth ? '' : 'day-outside'} ${cell.isToday ? 'day-today' : ''} ${cell.id === NULL_ID ? 'day-silent' : ''}`;
                const body = (
                  <>
                    <span class="day-number">{cell.day}</span>
                    <span class="day-timetable">{cell.id !== NULL_ID ? name : kind.ringsByDefault ? 'No bells' : ''}</span>
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

export function DayLegend() {
  return (
    <ul class="legend" aria-label="Kinds of day">
      {DAY_KINDS.map((k) => (
        <li key={k.kind}>
          <span class={`swatch ${k.className}`} aria-hidden="true" />
          {k.label}
        </li>
      ))}
      <li>
        <span class="swatch swatch-today" aria-hidden="true" />
        Today
      </li>
    </ul>
  );
}
