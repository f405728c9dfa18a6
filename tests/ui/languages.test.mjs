// The interface in each of its languages: the main flows once in English, Hungarian and German,
// with no text of another language and no raw message key on any page; and every page at a desktop
// and a phone width in Hungarian, German and the pseudo-language (every text 40 % longer), saved
// as screenshots, where no text may overflow its box.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { ROOT, SCREENSHOT_DIR, eventually, settles, withSession } from './harness.mjs';

const FACTORY = 'ID_factory_default_timetable';
const CATALOGUE_DIR = join(ROOT, 'web-ui', 'src', 'i18n', 'catalogues');
const CATALOGUES = Object.fromEntries(['en', 'hu', 'de'].map((l) => [l, JSON.parse(readFileSync(join(CATALOGUE_DIR, `${l}.json`), 'utf8'))]));
const KEYS = new Set(Object.keys(CATALOGUES.en));
const BROWSER_LOCALE = { en: 'en-GB', hu: 'hu-HU', de: 'de-DE', pseudo: 'en-GB' };
const WIDTHS = { desktop: { width: 1280, height: 860 }, phone: { width: 390, height: 844 } };

/** A message with its simple `{name}` placeholders filled in. */
const fill = (message, values = {}) => message.replace(/\{(\w+)\}/g, (_, name) => String(values[name]));

/** The whole texts of a catalogue that hold no placeholder: what a page shows of them exactly. */
const plainTexts = (language) =>
  new Set(Object.values(CATALOGUES[language]).filter((m) => !m.includes('{')).map((m) => m.replace(/\s+/g, ' ').trim()));

/** Texts of the other languages that `language` never shows (words that two languages share are left out). */
function foreignTexts(language) {
  const own = language === 'pseudo' ? new Set() : plainTexts(language);
  const foreign = new Map();
  for (const other of ['en', 'hu', 'de'].filter((l) => l !== language))
    for (const text of plainTexts(other)) if (text.length >= 3 && !own.has(text)) foreign.set(text, other);
  return foreign;
}

/**
 * Every text that a reader (or a screen reader) meets on the page, and the page's title; a text
 * marked as another language (the server's English summaries) is left out.
 */
function shownTexts() {
  const visible = (el) => el.checkVisibility({ checkVisibilityCSS: true });
  const marked = (el) => {
    const withLang = el.closest('body [lang]');
    return withLang !== null && withLang.lang !== document.documentElement.lang;
  };
  const texts = [document.title];
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const text = node.textContent.replace(/\s+/g, ' ').trim();
    const parent = node.parentElement;
    if (!text || parent.closest('script, style') || marked(parent)) continue;
    const option = parent.closest('option');
    if (option ? visible(option.closest('select')) : visible(parent)) texts.push(text);
  }
  for (const el of document.body.querySelectorAll('[aria-label], [title], [placeholder], [alt]')) {
    if (!visible(el)) continue;
    for (const name of ['aria-label', 'title', 'placeholder', 'alt']) {
      const value = el.getAttribute(name)?.trim();
      if (value) texts.push(value);
    }
  }
  return texts;
}

/** Fails on any text of another language, or any raw message key, that the page shows now. */
async function speaksOnly(page, language, where) {
  const foreign = foreignTexts(language);
  const wrong = [];
  for (const text of await page.evaluate(shownTexts)) {
    if (KEYS.has(text)) wrong.push(`the key "${text}"`);
    else if (foreign.has(text)) wrong.push(`"${text}" (${foreign.get(text)})`);
  }
  assert.deepEqual([...new Set(wrong)], [], `${where} in ${language}`);
  assert.deepEqual(page.consoleErrors, [], `${where} in ${language}: errors in the page`);
}

/**
 * What overflows on the page: the page wider than the window, and any box whose own text does not
 * fit it (sideways, or downwards out of a box of fixed height). Boxes that scroll are left alone.
 */
function overflowingTexts() {
  const found = [];
  const root = document.documentElement;
  if (root.scrollWidth > root.clientWidth + 1) found.push(`the page is ${root.scrollWidth}px wide in a ${root.clientWidth}px window`);
  const scrolls = (el) => ['auto', 'scroll'].includes(getComputedStyle(el).overflowX);
  for (const el of document.body.querySelectorAll('*')) {
    if (!el.checkVisibility({ checkVisibilityCSS: true }) || el.closest('.visually-hidden, select, option')) continue;
    const text = [...el.childNodes].filter((n) => n.nodeType === Node.TEXT_NODE).map((n) => n.textContent).join('').trim();
    if (!text) continue;
    const style = getComputedStyle(el);
    if (style.display === 'inline' || style.display === 'contents' || el.tagName === 'TEXTAREA') continue;
    if (el.clientWidth <= 1 || el.clientHeight <= 1) continue; // kept for screen readers alone
    let ancestor = el;
    while (ancestor && !scrolls(ancestor)) ancestor = ancestor.parentElement;
    if (ancestor) continue;
    const name = `${el.tagName.toLowerCase()}${el.className && typeof el.className === 'string' ? `.${el.className.trim().split(/\s+/).join('.')}` : ''} "${text.slice(0, 40)}"`;
    if (el.scrollWidth > el.clientWidth + 1) found.push(`${name}: ${el.scrollWidth}px of text in ${el.clientWidth}px`);
    else if (style.overflowY !== 'visible' && el.scrollHeight > el.clientHeight + 1) found.push(`${name}: cut at ${el.clientHeight}px of ${el.scrollHeight}px`);
    const box = el.getBoundingClientRect();
    if (box.right > root.clientWidth + 1 || box.left < -1) found.push(`${name}: outside the window (${Math.round(box.left)}–${Math.round(box.right)}px)`);
  }
  return found;
}

const json = (data) => ({ data: JSON.stringify(data), headers: { 'Content-Type': 'application/json' } });

async function ok(responsePromise, what) {
  const response = await responsePromise;
  if (!response.ok()) throw new Error(`${what}: ${response.status()} ${await response.text()}`);
  return response;
}

/**
 * A school set up through the server's routes: a password, the school's language, a second
 * timetable "10B" that a one-off event rings today, and a signal played once for the log.
 */
async function setUpSchool(s, page, language) {
  const request = page.request;
  await ok(request.post(`${s.base}/auth/chpasswd`, json('bell-tower')), 'setting the password');
  await ok(request.post(`${s.base}/db/settings/update`, json({ language })), 'choosing the language');
  const db = await (await ok(request.get(`${s.base}/db`), 'reading the database')).json();
  const tenB = { ...structuredClone(db.timetables[FACTORY]), name: '10B' };
  const id = await (await ok(request.post(`${s.base}/db/timetables/create`, json(tenB)), 'creating a timetable')).json();
  const [year, month, day] = (await s.getJson('/api/get/calendarInfo', page)).body.date.match(/\d+/g);
  const today = `${year}-${month.padStart(2, '0')}-${day.padStart(2, '0')}`;
  const single = new URLSearchParams({ timetableId: id, startDate: today, endDate: today });
  await ok(request.get(`${s.base}/api/trigger/addSingleEvent/0?${single}`), 'adding a one-off event');
  await ok(request.get(`${s.base}/api/trigger/playSignal/ID_ping`), 'playing a signal');
  await settles(() => s.plays().length, 1, 'the signal played');
  await request.get(`${s.base}/auth/logout`);
  return { id, today };
}

for (const language of ['en', 'hu', 'de']) {
  test(`the main flows in ${language}: login, dashboard, timetable editor, calendar and play log speak it alone`, async () => {
    const T = CATALOGUES[language];
    await withSession(`flows-${language}`, {}, async (s) => {
      const setup = await s.newPage();
      const { id, today } = await setUpSchool(s, setup, language);
      await setup.context().close();

      // A browser that has never been here learns the school's language from the server.
      const page = await s.newPage({ locale: BROWSER_LOCALE[language] });
      await page.goto(`${s.base}/`);
      await page.waitForURL(`${s.base}/login`);
      await page.getByRole('heading', { name: T['login.title'] }).waitFor();
      await page.getByLabel(T['login.password'], { exact: true }).fill('wrong');
      await page.getByRole('button', { name: T['login.submit'] }).click();
      await page.getByText(T['login.wrongPassword']).waitFor();
      await speaksOnly(page, language, 'the login page');
      await page.getByLabel(T['login.password'], { exact: true }).fill('bell-tower');
      await page.getByRole('button', { name: T['login.submit'] }).click();
      await page.waitForURL(`${s.base}/`);
      await page.getByRole('heading', { name: T['dashboard.today'], exact: true }).waitFor();
      await settles(() => page.evaluate(() => document.documentElement.lang), language);
      await page.getByText('10B').first().waitFor();
      await speaksOnly(page, language, 'the dashboard');

      const pages = page.getByRole('navigation', { name: T['app.pages'] });
      await pages.getByRole('link', { name: T['nav.timetables'] }).click();
      await page.getByRole('link', { name: '10B' }).click();
      await page.waitForURL(`${s.base}/timetables/${id}`);
      await page.getByRole('heading', { name: fill(T['editor.headingNamed'], { name: '10B' }) }).waitFor();
      await speaksOnly(page, language, 'the timetable editor');
      await page.goto(`${s.base}/timetables/${FACTORY}`);
      await page.getByRole('heading', { name: fill(T['editor.headingNamed'], { name: T['factory.timetableDefault'] }) }).waitFor();
      await speaksOnly(page, language, "the default timetable's editor");

      await pages.getByRole('link', { name: T['nav.calendar'] }).click();
      await page.getByRole('heading', { name: T['calendar.title'], level: 1 }).waitFor();
      await page.locator(`td[data-date="${today}"]`).getByText('10B').waitFor();
      await speaksOnly(page, language, 'the calendar');

      await pages.getByRole('link', { name: T['nav.log'] }).click();
      await page.getByRole('heading', { name: T['log.title'] }).waitFor();
      await page.getByTestId('log-row').first().waitFor();
      await speaksOnly(page, language, 'the play log');
    });
  });
}

/** Every page, as `navigate` opens it and `ready` says it has settled. */
const PAGES = [
  ['dashboard', '/', (page) => page.getByTestId('today-bell').first()],
  ['timetables', '/timetables', (page) => page.getByRole('link', { name: '10B' })],
  ['timetable-editor', `/timetables/${FACTORY}`, (page) => page.locator('main form').first()],
  ['signals', '/signals', (page) => page.getByTestId('signal-row').first()],
  ['programmes', '/programmes', (page) => page.locator('main form').first()],
  ['week', '/week', (page) => page.getByTestId('week-day').getByText('10B').first()],
  ['calendar', '/calendar', (page) => page.locator('td[data-date]').getByText('10B').first()],
  ['log', '/log', (page) => page.getByTestId('log-row').first()],
  ['changes', '/log?tab=changes', (page) => page.getByTestId('change-row').first()],
  ['settings', '/settings', (page) => page.getByTestId('alert-target').first()],
];

test('every page in hu, de and the pseudo-language, at desktop and phone width: screenshots, and no text overflows its box', async () => {
  const overflows = [];
  await withSession('languages-screenshots', {}, async (s) => {
    const dir = join(SCREENSHOT_DIR, 'languages');
    for (const language of ['hu', 'de', 'pseudo'])
      for (const [form, size] of Object.entries(WIDTHS)) {
        const page = await s.newPage({ ...size, locale: BROWSER_LOCALE[language] });
        await page.goto(`${s.base}/welcome?language=${language}`);
        await page.locator('h1').first().waitFor();
        await s.screenshot(page, `${language}-welcome-${form}`, dir);
        overflows.push(...(await page.evaluate(overflowingTexts)).map((o) => `${language}, welcome, ${form}: ${o}`));
        await page.context().close();
      }

    const setup = await s.newPage();
    await setUpSchool(s, setup, 'en');
    // An alert address that nobody answers, for its row in the settings.
    await ok(setup.request.post(`${s.base}/auth/login`, json({ userPassword: 'bell-tower', remember: false })), 'logging in');
    const alerts = { alertTargets: [{ kind: 'ntfy', url: 'http://127.0.0.1:9/bells', events: ['bellFailed', 'alarm', 'started'] }] };
    await ok(setup.request.post(`${s.base}/db/settings/update`, json(alerts)), 'adding an alert address');
    for (const language of ['hu', 'de', 'pseudo'])
      for (const [form, size] of Object.entries(WIDTHS)) {
        const page = await s.newPage({ ...size, locale: BROWSER_LOCALE[language] });
        await page.goto(`${s.base}/login?language=${language}`);
        await page.locator('input[type="password"]').fill('bell-tower');
        await s.screenshot(page, `${language}-login-${form}`, dir);
        await page.locator('input[type="password"]').press('Enter');
        await page.waitForURL(`${s.base}/`);
        for (const [name, path, ready] of PAGES) {
          await page.goto(`${s.base}${path}`);
          await ready(page).waitFor();
          await s.screenshot(page, `${language}-${name}-${form}`, dir);
          overflows.push(...(await page.evaluate(overflowingTexts)).map((o) => `${language}, ${name}, ${form}: ${o}`));
          if (language !== 'pseudo') await speaksOnly(page, language, `${name} (${form})`);
        }
        await page.context().close();
      }
  });
  assert.deepEqual([...new Set(overflows)], [], 'texts that do not fit their boxes');
});

test('a browser may speak its own language beside the school’s, and follow the school again', async () => {
  await withSession('language-menu', {}, async (s) => {
    const setup = await s.newPage();
    await ok(setup.request.post(`${s.base}/db/settings/update`, json({ language: 'hu' })), 'choosing the language');
    const page = await s.newPage({ locale: 'en-GB' });
    await page.addInitScript(() => window.localStorage.setItem('tollwick.welcomeDone', '1'));
    await page.goto(`${s.base}/`);
    await page.getByRole('heading', { name: CATALOGUES.hu['dashboard.today'], exact: true }).waitFor();
    await page.locator('.language-menu select').selectOption('de');
    await page.getByRole('heading', { name: CATALOGUES.de['dashboard.today'], exact: true }).waitFor();
    await page.reload();
    await page.getByRole('heading', { name: CATALOGUES.de['dashboard.today'], exact: true }).waitFor();
    await speaksOnly(page, 'de', 'the dashboard');
    // Another browser still follows the school.
    const other = await s.newPage({ locale: 'de-DE' });
    await other.addInitScript(() => window.localStorage.setItem('tollwick.welcomeDone', '1'));
    await other.goto(`${s.base}/`);
    await other.getByRole('heading', { name: CATALOGUES.hu['dashboard.today'], exact: true }).waitFor();
    await page.locator('.language-menu select').selectOption('');
    await page.getByRole('heading', { name: CATALOGUES.hu['dashboard.today'], exact: true }).waitFor();
    await eventually(() => page.evaluate(() => window.localStorage.getItem('tollwick.language')), (v) => v === null, 'the choice forgotten');
  });
});
