// Line icons drawn for this interface on a 24-unit grid; they inherit the text colour.
import type { JSX } from 'preact';

const PATHS = {
  bell: 'M6 16V11a6 6 0 0 1 12 0v5l1.5 2h-15L6 16Z M10 20.5a2 2 0 0 0 4 0',
  play: 'M8 5.5v13l10.5-6.5L8 5.5Z',
  stop: 'M7 7h10v10H7Z',
  download: 'M12 4v11 M7.5 10.5 12 15l4.5-4.5 M5 19.5h14',
  upload: 'M12 16V5 M7.5 9.5 12 5l4.5 4.5 M5 19.5h14',
  trash: 'M5 7h14 M10 7V4.5h4V7 M7 7l1 12.5h8L17 7 M10.5 10.5v6 M13.5 10.5v6',
  up: 'M12 18V6 M7 11l5-5 5 5',
  down: 'M12 6v12 M7 13l5 5 5-5',
  plus: 'M12 5v14 M5 12h14',
  close: 'M6 6l12 12 M18 6 6 18',
  left: 'M15 5l-7 7 7 7',
  right: 'M9 5l7 7-7 7',
  menu: 'M4 7h16 M4 12h16 M4 17h16',
  alarm: 'M12 3 2.5 20h19L12 3Z M12 9.5v5 M12 17.2v.3',
  calendar: 'M4.5 6.5h15v13h-15Z M4.5 10.5h15 M8.5 4v4 M15.5 4v4',
  clock: 'M12 3.5a8.5 8.5 0 1 0 0 17 8.5 8.5 0 0 0 0-17Z M12 7.5V12l3 2',
  list: 'M9 7h11 M9 12h11 M9 17h11 M4.5 7h.5 M4.5 12h.5 M4.5 17h.5',
  music: 'M9 18V6l10-2v12 M9 18a2.5 2.5 0 1 1-5 0 2.5 2.5 0 0 1 5 0Z M19 16a2.5 2.5 0 1 1-5 0 2.5 2.5 0 0 1 5 0Z',
  cog: 'M12 9a3 3 0 1 0 0 6 3 3 0 0 0 0-6Z M12 2.8v2.4 M12 18.8v2.4 M2.8 12h2.4 M18.8 12h2.4 M5.5 5.5l1.7 1.7 M16.8 16.8l1.7 1.7 M5.5 18.5l1.7-1.7 M16.8 7.2l1.7-1.7',
  home: 'M4 11 12 4l8 7 M6.5 9.5V20h11V9.5',
  logout: 'M14 4.5H5.5v15H14 M10 12h10 M16.5 8.5 20 12l-3.5 3.5',
  megaphone: 'M4 10v4h3l8 4.5v-13L7 10H4Z M18 9.5a3.5 3.5 0 0 1 0 5 M8 14l1 5h2.5L10.5 15',
  check: 'M5 12.5l4.5 4.5L19 7.5',
  edit: 'M4.5 19.5l1-4L16 5l3 3L8.5 18.5l-4 1Z M13.5 7.5l3 3',
  headphones: 'M4.5 15.5v-3a7.5 7.5 0 0 1 15 0v3 M4.5 14.5h3v5h-3Z M16.5 14.5h3v5h-3Z',
  speaker: 'M4 9.5h3.5L12 5.5v13l-4.5-4H4Z M15.5 9a4 4 0 0 1 0 6 M18 6.5a7.5 7.5 0 0 1 0 11',
  copy: 'M9 9h10v10H9Z M5.5 15V5h10',
  renew: 'M19 12a7 7 0 1 1-2.05-4.95 M19.5 4v4h-4',
  star: 'M12 3.8l2.5 5.2 5.7.7-4.2 3.9 1.1 5.6L12 16.5l-5.1 2.7 1.1-5.6-4.2-3.9 5.7-.7L12 3.8Z',
} as const;

export type IconName = keyof typeof PATHS;

export function Icon({ name, size = 20, ...rest }: { name: IconName; size?: number } & JSX.SVGAttributes<SVGSVGElement>) {
  return (
    <svg
      width={size}
      height={size}
      viewBox="0 0 24 24"
      fill="none"
      stroke="currentColor"
      stroke-width="1.8"
      stroke-linecap="round"
      stroke-linejoin="round"
      aria-hidden="true"
      focusable="false"
      class="icon"
      {...rest}
    >
      <path d={PATHS[name]} />
    </svg>
  );
}
