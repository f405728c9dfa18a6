// Starts the real server in a throw-away data directory with fake audio players, and a headless
// Chromium to drive it. Every test gets its own server, so each starts from a first start.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { appendFileSync, chmodSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const SCREENSHOT_DIR = process.env.TOLLWICK_UI_SCREENSHOTS ?? join(ROOT, 'build', 'ui-screenshots');
const SERVER = process.env.TOLLWICK_SERVER ?? join(ROOT, 'build', 'tollwick-player');
const FAKE_SERVICE = process.env.TOLLWICK_FAKE_SERVICE ?? join(ROOT, 'build', 'tools', 'tollwick-fake-service');
const CHROMIUM = process.env.CHROMIUM_PATH ?? '/usr/bin/chromium';

// playwright-core is installed with the interface's packages.
const require = createRequire(join(ROOT, 'web-ui', 'package.json'));
const { chromium } = require('playwright-core');

export function freePort() {
  return new Promise((resolvePort, reject) => {
    const probe = createServer();
    probe.unref();
    probe.on('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolvePort(port));
    });
  });
}

async function waitFor(check, what, timeoutMs = 15000) {
  const until = Date.now() + timeoutMs;
  let last;
  while (Date.now() < until) {
    try {
      if (await check()) return;
    } catch (e) {
      last = e;
    }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`Timed out waiting for ${what}${last ? `: ${last.message}` : ''}`);
}

// A stand-in for mpg123 and aplay: records its arguments, then "plays" for a moment. `exec`
// lets a stop signal reach the sleeping process itself.
function writeFakePlayer(binDir, name, log, seconds) {
  const path = join(binDir, name);
  writeFileSync(path, `#!/bin/sh\nprintf '%s %s\\n' "${name}" "$*" >> '${log}'\nexec sleep ${seconds}\n`);
  chmodSync(path, 0o755);
}

/** Starts a child process whose output is kept for the failure report. */
function startProcess(command, args, env, label) {
  const child = spawn(command, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
  const output = [];
  child.stdout.on('data', (d) => output.push(d.toString()));
  child.stderr.on('data', (d) => output.push(d.toString()));
  child.label = label;
  child.output = output;
  // Settles once the process has ended and its output is read to the end.
  child.closed = new Promise((done) => child.once('close', done));
  return child;
}

function stopProcess(child) {
  if (!child || child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return new Promise((done) => {
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
    }, 3000);
    child.once('exit', () => {
      clearTimeout(timer);
      done();
    });
    child.kill('SIGTERM');
  });
}

export class Session {
  /**
   * `vendor`: run the substitute vendor service (regions, announcements); otherwise the
   * service is unreachable. `vendorData`: the service's data directory instead of tools/data
   * (a calendar registry with dates of the test's own). `playSeconds`: how long each fake play lasts.
   * `timeZone`: the server's TZ (a POSIX zone such as "UTC-3"), for a flow that needs its day.
   */
  static async start({ vendor = false, vendorData, playSeconds = 0.4, timeZone } = {}) {
    if (!existsSync(SERVER)) throw new Error(`No server at ${SERVER}: build it first (make build)`);
    if (!existsSync(join(ROOT, 'web-ui', 'dist', 'index.html'))) throw new Error('No built interface: run npm run build in web-ui');
    const s = new Session();
    s.dir = mkdtempSync(join(tmpdir(), 'tollwick-ui-'));
    s.dataDir = join(s.dir, 'data');
    s.binDir = join(s.dir, 'bin');
    s.playLog = join(s.dir, 'plays.log');
    mkdirSync(s.dataDir);
    mkdirSync(s.binDir);
    writeFileSync(s.playLog, '');
    writeFakePlayer(s.binDir, 'mpg123', s.playLog, playSeconds);
    writeFakePlayer(s.binDir, 'aplay', s.playLog, playSeconds);

    let serviceUrl = 'http://127.0.0.1:9'; // nothing listens there: the service is unreachable
    if (vendor) {
      if (!existsSync(FAKE_SERVICE)) throw new Error(`No substitute vendor service at ${FAKE_SERVICE}: build it first`);
      const vendorPort = await freePort();
      const data = vendorData ? ['--data', vendorData] : [];
      s.vendor = startProcess(FAKE_SERVICE, ['--port', String(vendorPort), ...data], process.env, 'vendor service');
      serviceUrl = `http://127.0.0.1:${vendorPort}`;
      await waitFor(async () => (await fetch(`${serviceUrl}/`)).ok, 'the substitute vendor service');
    }

    const env = {
      ...process.env,
      PATH: `${s.binDir}:${process.env.PATH}`,
      TOLLWICK_DATA_DIR: s.dataDir,
      TOLLWICK_SERVICE_URL: serviceUrl,
      HOME: s.dir,
      ...(timeZone ? { TZ: timeZone } : {}),
    };
    s.env = env;
    try {
      await s.startServer(env);
    } catch (error) {
      await s.stop({ keep: true });
      throw error;
    }

    s.browser = await chromium.launch({
      executablePath: CHROMIUM,
      headless: true,
      args: [
        '--headless',
        '--no-sandbox',
        '--disable-gpu',
        '--disable-quic',
        '--no-first-run',
        '--disable-background-networking',
        '--disable-component-update',
        '--disable-sync',
        // Date inputs follow the browser's language; a school's day-month-year order.
        '--lang=en-GB',
      ],
      // Playwright gives every launch a fresh profile directory of its own (--user-data-dir).
    });
    return s;
  }

  /**
   * Starts the server on a free port and waits until it answers. A port that another process took
   * between the probe and the start is given up for the next free one; any other early end of the
   * server fails with its exit status and its output.
   */
  async startServer(env) {
    for (let attempt = 1; ; attempt++) {
      this.port = await freePort();
      this.base = `http://127.0.0.1:${this.port}`;
      const server = startProcess(SERVER, ['--port', String(this.port), '--no-popup'], env, 'server');
      this.server = server;
      const ended = () => server.exitCode !== null || server.signalCode !== null;
      await waitFor(
        async () => ended() || (await (await fetch(`${this.base}/whoami`)).text()) === 'Tollwick Player Backend',
        'the server',
      ).catch((error) => {
        throw new Error(`${error.message}\n--- server output ---\n${server.output.join('')}`);
      });
      if (!ended()) return;
      await server.closed;
      const output = server.output.join('');
      const portTaken = /already used by another application|cannot listen on port/.test(output);
      if (!portTaken || attempt === 3)
        throw new Error(`The server ended at its start (status ${server.exitCode ?? server.signalCode}):\n${output}`);
    }
  }

  /**
   * Ends the server and starts it again on the same data, in the time zone `timeZone`: a zone a
   * day ahead of the first one brings the session to the next day at the same hour. The port
   * changes; cookies, which do not depend on it, stay valid.
   */
  async restartServer({ timeZone }) {
    await stopProcess(this.server);
    this.env = { ...this.env, TZ: timeZone };
    await this.startServer(this.env);
  }

  /** A fresh browser context (its own cookies) with one page. */
  async newPage({ width = 1280, height = 860, locale = 'en-GB' } = {}) {
    const context = await this.browser.newContext({ viewport: { width, height }, locale, timezoneId: 'UTC', acceptDownloads: true });
    const page = await context.newPage();
    page.setDefaultTimeout(10000);
    page.consoleErrors = [];
    page.on('pageerror', (e) => page.consoleErrors.push(String(e)));
    return page;
  }

  plays() {
    return readFileSync(this.playLog, 'utf8').split('\n').filter(Boolean);
  }

  /** GET a JSON route with the cookies of `page` (or none). */
  async getJson(path, page) {
    const headers = {};
    if (page) {
      const cookies = await page.context().cookies(this.base);
      headers.cookie = cookies.map((c) => `${c.name}=${c.value}`).join('; ');
    }
    const response = await fetch(`${this.base}${path}`, { headers });
    const text = await response.text();
    return { status: response.status, body: response.headers.get('content-type')?.includes('json') ? JSON.parse(text) : text };
  }

  /**
   * The whole page: the viewport is stretched to the page's height first, so that sticky bars
   * sit where a reader would see them (at the end) instead of across the middle.
   */
  async screenshot(page, name, dir = SCREENSHOT_DIR) {
    mkdirSync(dir, { recursive: true });
    const path = join(dir, `${name}.png`);
    const viewport = page.viewportSize();
    const height = await page.evaluate(() => document.documentElement.scrollHeight);
    if (height > viewport.height) await page.setViewportSize({ width: viewport.width, height });
    await page.screenshot({ path, animations: 'disabled', caret: 'hide' });
    if (height > viewport.height) await page.setViewportSize(viewport);
    return path;
  }

  serverLog() {
    return this.server?.output.join('') ?? '';
  }

  async stop({ keep = false } = {}) {
    await this.browser?.close().catch(() => {});
    await stopProcess(this.server);
    await stopProcess(this.vendor);
    if (keep) appendFileSync(join(this.dir, 'server.log'), this.serverLog());
    else rmSync(this.dir, { recursive: true, force: true });
  }
}

/** A short mono WAV of a sine tone; the frequency makes each file's content distinct. */
export function writeWav(path, { seconds = 0.5, frequency = 440, rate = 8000 } = {}) {
  const samples = Math.round(seconds * rate);
  const data = Buffer.alloc(samples * 2);
  for (let i = 0; i < samples; i++) data.writeInt16LE(Math.round(12000 * Math.sin((2 * Math.PI * frequency * i) / rate)), i * 2);
  const header = Buffer.alloc(44);
  header.write('RIFF', 0);
  header.writeUInt32LE(36 + data.length, 4);
  header.write('WAVE', 8);
  header.write('fmt ', 12);
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(1, 22);
  header.writeUInt32LE(rate, 24);
  header.writeUInt32LE(rate * 2, 28);
  header.writeUInt16LE(2, 32);
  header.writeUInt16LE(16, 34);
  header.write('data', 36);
  header.writeUInt32LE(data.length, 40);
  writeFileSync(path, Buffer.concat([header, data]));
  return path;
}

/**
 * Runs `body` against a fresh server; on failure it saves a screenshot of every open page and
 * prints the server's log, then always cleans up.
 */
export async function withSession(name, options, body) {
  const s = await Session.start(options);
  try {
    await body(s);
  } catch (error) {
    const pages = s.browser.contexts().flatMap((c) => c.pages());
    for (const [i, page] of pages.entries()) await s.screenshot(page, `${name}-failure-${i}`).catch(() => {});
    console.error(`--- server log of "${name}" ---\n${s.serverLog()}`);
    throw error;
  } finally {
    await s.stop();
  }
}

/** Polls `read` until `accept(value)` holds; answers the value or throws with the last one. */
export async function eventually(read, accept, what, timeoutMs = 8000) {
  const until = Date.now() + timeoutMs;
  let value;
  while (Date.now() < until) {
    value = await read();
    if (accept(value)) return value;
    await new Promise((r) => setTimeout(r, 150));
  }
  throw new Error(`Timed out waiting for ${what}; last value: ${JSON.stringify(value)}`);
}

/**
 * Polls `read` until its value equals `expected` (deeply; a RegExp must match instead); throws
 * the last mismatch once the time is up. Pages and the server change after a click, never at it.
 */
export async function settles(read, expected, what = 'the expected value', timeoutMs = 8000) {
  const until = Date.now() + timeoutMs;
  for (;;) {
    let failure;
    try {
      const value = await read();
      if (expected instanceof RegExp) assert.match(String(value), expected, what);
      else assert.deepEqual(value, expected, what);
      return value;
    } catch (error) {
      failure = error;
    }
    if (Date.now() >= until) throw failure;
    await new Promise((r) => setTimeout(r, 100));
  }
}
