// Takes the README's screenshots: the dashboard (the default timetable's lessons moved to begin
// in a minute or two, so that one bell has rung and the others are to come), the timetable editor,
// the calendar (with a public holiday on which a recurring event rings), the week on screen and
// as printed, the play log and the dashboard with the bells switched off, at a desktop and a phone
// width, the dashboard and the calendar in Hungarian and German, and the settings' alert addresses
// of a school that has two; against a real server with a
// password, a second timetable and a few calendar events, and holidays of this month from the
// substitute vendor service.
// Run: node tests/ui/screenshots.mjs <directory>   (or: make screenshots)
import { mkdirSync, readFileSync, rmSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { addDays, nextWeekday, vendorDataWith } from './calendar-data.mjs';
import { ROOT, eventually, withSession } from './harness.mjs';

const FACTORY = 'ID_factory_default_timetable';
const WIDTHS = { desktop: { width: 1280, height: 860 }, phone: { width: 390, height: 844 } };
// The dashboard and the calendar are shown in these languages too, with the second timetable's
// name as a school there would write it.
const LANGUAGES = { hu: { locale: 'hu-HU', shortDay: 'Rövidített nap' }, de: { locale: 'de-DE', shortDay: 'Kurzer Tag' } };
const catalogue = (language) => JSON.parse(readFileSync(join(ROOT, 'web-ui', 'src', 'i18n', 'catalogues', `${language}.json`), 'utf8'));

const outDir = resolve(process.argv[2] ?? 'docs/screenshots');
mkdirSync(outDir, { recursive: true });

/** The day `day` of the current month as "YYYY-MM-DD". */
function dayOfThisMonth(day) {
  const now = new Date();
  return `${now.getFullYear()}-${String(now.getMonth() + 1).padStart(2, '0')}-${String(day).padStart(2, '0')}`;
}

async function ok(responsePromise, what) {
  const response = await responsePromise;
  if (!response.ok()) throw new Error(`${what}: ${response.status()} ${await response.text()}`);
  return response;
}

/** A school's set-up, made through the server's routes with the cookies of `page`. */
async function furnish(s, page) {
  const request = page.request;
  await ok(request.post(`${s.base}/auth/chpasswd`, { data: JSON.stringify('bell-tower'), headers: { 'Content-Type': 'application/json' } }), 'setting the password');
  await ok(request.post(`${s.base}/db/settings/update`, { data: { 'calendar.syncRegionId': 'hu' } }), 'choosing the region');

  const db = await (await ok(request.get(`${s.base}/db`), 'reading the database')).json();
  const shortDay = structuredClone(db.timetables[FACTORY]);
  shortDay.name = 'Short day';
  const shorten = (lessons) => lessons.map((_, i) => {
    const start = 8 * 60 + i * 40;
    const time = (m) => `${String(Math.floor(m / 60)).padStart(2, '0')}:${String(m % 60).padStart(2, '0')}`;
    return `${time(start)} - ${time(start + 30)}`;
  });
  shortDay.chA.lessons = shorten(shortDay.chA.lessons);
  shortDay.chB.lessons = shorten(shortDay.chB.lessons);
  const shortId = await (await ok(request.post(`${s.base}/db/timetables/create`, { data: shortDay }), 'creating a timetable')).json();

  const trigger = (target, query) =>
    ok(request.get(`${s.base}/api/trigger/${target}/0?${new URLSearchParams(query)}`), target);
  await trigger('addSingleEvent', { timetableId: shortId, startDate: dayOfThisMonth(16), endDate: dayOfThisMonth(16) });
  // Every Friday, also on the holiday and in the school break.
  await trigger('addReoccurringEvent', { timetableId: shortId, mode: 1, days: 1 << 4 });
  return shortId;
}

const hhmm = (m) => `${String(Math.floor(m / 60)).padStart(2, '0')}:${String(m % 60).padStart(2, '0')}`;

/**
 * Moves the lessons of today's timetable (the default one, or the one an event rings today) to
 * begin at one of the server's next whole minutes, and waits until the first one has rung; near
 * midnight, fewer lessons (or none) fit, and on a day without bells a signal is played for the log.
 */
async function lessonsFromNow(s, page) {
  const db = await (await ok(page.request.get(`${s.base}/db`), 'reading the database')).json();
  const id = (await s.getJson('/api/get/overview', page)).body.activeTimetableInfo.id;
  const timetable = db.timetables[id];
  const playForTheLog = () => ok(page.request.get(`${s.base}/api/trigger/playSignal/ID_ping`), 'playing a signal for the log');
  if (!timetable) return playForTheLog();
  const [h, m, sec] = (await s.getJson('/api/get/status', page)).body.time.split(':').map(Number);
  const lessons = [];
  // The first bell is the signal rung before the first lesson.
  const first = h * 60 + m + (sec < 40 ? 1 : 2) + timetable.chA.preStartWaitMin;
  for (let start = first; lessons.length < 6 && start + 45 < 24 * 60; start += 55) lessons.push(`${hhmm(start)} - ${hhmm(start + 45)}`);
  timetable.chA.lessons = lessons;
  timetable.chB.lessons = [];
  await ok(page.request.post(`${s.base}/db/timetables/update/${id}`, { data: timetable }), 'moving the lessons');
  if (lessons.length === 0) return playForTheLog();
  const rang = (r) => r.body.some?.((bell) => bell.mark === 'played');
  await eventually(() => s.getJson('/api/get/todayBells', page), rang, 'the first bell', 150000);
}

// This month's public holiday on its second Friday, a school break in its last whole week and an
// extra school day on its third Saturday.
const holiday = nextWeekday(dayOfThisMonth(8), 4);
const breakStart = nextWeekday(dayOfThisMonth(21), 0);
const vendorData = vendorDataWith({
  holidays: [holiday],
  schoolBreaks: [0, 1, 2, 3, 4, 5, 6].map((i) => addDays(breakStart, i)).filter((d) => d.slice(0, 7) === breakStart.slice(0, 7)),
  extraWorkdays: [nextWeekday(dayOfThisMonth(15), 5)],
});

try {
  await withSession('screenshots', { vendor: true, vendorData }, async (s) => {
    await eventually(() => s.getJson('/api/get/calendarInfo'), (r) => r.body.regions?.length === 1, 'the region', 20000);
    const setup = await s.newPage();
    const shortId = await furnish(s, setup);
    await lessonsFromNow(s, setup);
    const cookies = await setup.context().cookies();

    for (const [form, size] of Object.entries(WIDTHS)) {
      const page = await s.newPage(size);
      await page.context().addCookies(cookies);
      await page.addInitScript(() => window.localStorage.setItem('tollwick.welcomeDone', '1'));

      await page.goto(`${s.base}/`);
      await page.getByRole('heading', { name: 'Today', exact: true }).waitFor();
      await page.locator('#play-signal').getByRole('button', { name: /^ping/ }).waitFor();
      await page.getByTestId('next-bell').waitFor();
      await page.getByTestId('today-bell').first().waitFor();
      await s.screenshot(page, `dashboard-${form}`, outDir);

      await page.goto(`${s.base}/timetables/${FACTORY}`);
      await page.getByRole('heading', { name: 'Timetable: Default' }).waitFor();
      await s.screenshot(page, `timetable-editor-${form}`, outDir);

      await page.goto(`${s.base}/calendar`);
      await page.getByText('Short day').first().waitFor();
      await page.locator(`td[data-date="${holiday}"].day-override`).waitFor();
      await s.screenshot(page, `calendar-${form}`, outDir);

      await page.goto(`${s.base}/week`);
      await page.getByTestId('week-day').getByText('Short day').first().waitFor();
      await s.screenshot(page, `week-${form}`, outDir);
      await page.emulateMedia({ media: 'print' });
      await s.screenshot(page, `week-print-${form}`, outDir);
      await page.emulateMedia({ media: 'screen' });

      await page.goto(`${s.base}/log`);
      await page.getByTestId('log-row').first().waitFor();
      await s.screenshot(page, `log-${form}`, outDir);
      await page.context().close();
    }

    for (const [language, { locale, shortDay }] of Object.entries(LANGUAGES)) {
      const T = catalogue(language);
      const db = await (await ok(setup.request.get(`${s.base}/db`), 'reading the database')).json();
      const renamed = { ...db.timetables[shortId], name: shortDay };
      await ok(setup.request.post(`${s.base}/db/timetables/update/${shortId}`, { data: renamed }), 'naming the timetable');
      for (const [form, size] of Object.entries(WIDTHS)) {
        const page = await s.newPage({ ...size, locale });
        await page.context().addCookies(cookies);
        await page.addInitScript(() => window.localStorage.setItem('tollwick.welcomeDone', '1'));
        await page.goto(`${s.base}/?language=${language}`);
        await page.getByRole('heading', { name: T['dashboard.today'], exact: true }).waitFor();
        await page.getByTestId('today-bell').first().waitFor();
        await s.screenshot(page, `dashboard-${form}-${language}`, outDir);
        await page.goto(`${s.base}/calendar`);
        await page.getByText(shortDay).first().waitFor();
        await page.locator(`td[data-date="${holiday}"].day-override`).waitFor();
        await s.screenshot(page, `calendar-${form}-${language}`, outDir);
        await page.context().close();
      }
    }
    const db = await (await ok(setup.request.get(`${s.base}/db`), 'reading the database')).json();
    await ok(setup.request.post(`${s.base}/db/timetables/update/${shortId}`, { data: { ...db.timetables[shortId], name: 'Short day' } }), 'naming the timetable');

    await ok(
      setup.request.post(`${s.base}/db/settings/update`, {
        data: {
          schoolName: 'Riverside Primary School',
          alertTargets: [
            { kind: 'webhook', url: 'https://chat.riverside-primary.example/hooks/bells-7f3a9c', events: ['bellFailed', 'alarm', 'bells', 'clock', 'saveFailed', 'diskLow', 'started'] },
            { kind: 'ntfy', url: 'https://ntfy.sh/riverside-bells', events: ['bellFailed', 'alarm', 'diskLow'] },
          ],
        },
      }),
      'naming the school and its alert addresses',
    );
    {
      const page = await s.newPage(WIDTHS.desktop);
      await page.context().addCookies(cookies);
      await page.addInitScript(() => window.localStorage.setItem('tollwick.welcomeDone', '1'));
      await page.goto(`${s.base}/settings`);
      await page.locator('#alerts').getByText('https://ntfy.sh/riverside-bells').waitFor();
      // The whole page in the window, so that the sticky top bar stays above the card.
      const height = await page.evaluate(() => document.documentElement.scrollHeight);
      await page.setViewportSize({ ...WIDTHS.desktop, height });
      await page.locator('#alerts').screenshot({ path: join(outDir, 'settings-alerts.png'), animations: 'disabled', caret: 'hide' });
      await page.context().close();
    }

    await ok(setup.request.post(`${s.base}/db/settings/update`, { data: { schedulerEnable: false } }), 'switching the bells off');
    for (const [form, size] of Object.entries(WIDTHS)) {
      const page = await s.newPage(size);
      await page.context().addCookies(cookies);
      await page.addInitScript(() => window.localStorage.setItem('tollwick.welcomeDone', '1'));
      await page.goto(`${s.base}/`);
      await page.getByText('Bells are switched off: no bell will ring until you switch them on again.').waitFor();
      await page.locator('#play-signal').getByRole('button', { name: /^ping/ }).waitFor();
      await s.screenshot(page, `dashboard-bells-off-${form}`, outDir);
      await page.context().close();
    }
    console.log(`Screenshots in ${outDir}`);
  });
} finally {
  rmSync(vendorData, { recursive: true, force: true });
}
