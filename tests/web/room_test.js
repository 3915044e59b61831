// The room on the page in headless Chromium, driven by puppeteer-core: a scenario from the
// address places a source beside the detector (the reading rises, the room opens), the marker
// dragged away, moved with the arrow keys and by touch (the detector follows, the reading
// falls), the session's recording replayed by the native runner to the same display at every
// tick (its cells, cursor and backlight), and scenarios opened from a file. The page ticks only when the test says.
//
//   node tests/web/room_test.js --site build/web --runner HEADLESS
'use strict';

const assert = require('node:assert/strict');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const Chromium = process.env.DRK_CHROMIUM || '/usr/bin/chromium';
const StepTimeoutMs = 60000;

function parseArguments() {
  const options = { site: null, runner: null };
  const args = process.argv.slice(2);
  for (let i = 0; i < args.length; i += 2) {
    const key = args[i].replace(/^--/, '');
    if (!(key in options) || args[i + 1] === undefined) options.site = null;
    else options[key] = path.resolve(args[i + 1]);
  }
  if (!options.site || !options.runner) {
    console.error('usage: room_test.js --site DIR --runner HEADLESS');
    process.exit(2);
  }
  return options;
}

// The page's folder, with the test's scenarios under /scn/.
function serve(site, scenarios) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const [root, rest] = name.startsWith('/scn/') ? [scenarios, name.slice(5)] : [site, name];
    const file = path.join(root, rest === '/' ? 'index.html' : rest);
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    const type = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                   '.wasm': 'application/wasm' }[path.extname(file)] || 'text/plain';
    response.writeHead(200, { 'Content-Type': `${type}; charset=utf-8` });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The reading on the display's second line, µSv/h.
function reading(lines) {
  const m = /([0-9]+\.[0-9]+)/.exec(lines[1]);
  assert.ok(m, `a reading on "${lines[1]}"`);
  return Number(m[1]);
}

async function main() {
  const options = parseArguments();
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'drk-room-test-'));
  fs.writeFileSync(path.join(work, 'near.scn'),
                   '# the backlight, then a source 30 cm from the detector\npress mode 3\n' +
                   'place S gamma 50 at 5 5.3\n');
  const server = await serve(options.site, work);
  const base = `http://127.0.0.1:${server.address().port}/index.html?test`;
  const browser = await puppeteer.launch({
    executablePath: Chromium,
    headless: true,
    args: ['--no-sandbox', '--mute-audio'],
  });
  const problems = [];
  let passed = 0;
  let failed = 0;
  const check = async (name, body) => {
    try {
      await body();
      passed += 1;
      console.log(`ok   ${name}`);
    } catch (error) {
      failed += 1;
      console.log(`FAIL ${name}\n${error.stack || error}`);
    }
  };

  try {
    const page = await browser.newPage();
    page.on('console', (message) => {
      if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
    });
    page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
    page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
    await page.setViewport({ width: 1000, height: 1000, deviceScaleFactor: 1, hasTouch: true });
    await page.goto(`${base}&scenario=scn/near.scn`, { waitUntil: 'load', timeout: StepTimeoutMs });
    await page.waitForFunction(() => window.drkTest && window.drkRoom, { timeout: StepTimeoutMs });
    await page.evaluate(() => window.drkTest.ready);
    await page.waitForFunction(() => window.drkRoom.state().scenario.state === 'playing',
                               { timeout: StepTimeoutMs });

    // Ticks, keeping the display of each (the page's live region as the runner writes it).
    const lcds = [];
    const tick = async (count) => {
      lcds.push(...await page.evaluate((n) => {
        const out = [];
        for (let i = 0; i < n; i += 1) {
          window.drkTest.tick(1);
          const now = window.drkTest.state();
          out.push({ on: now.on ? 1 : 0, lcd: now.lcd, cells: now.cells,
                     cursor: now.cursor < 0 ? null : now.cursor, backlight: now.backlight ? 1 : 0 });
        }
        return out;
      }, count));
      return page.evaluate(() => window.drkTest.state());
    };
    const room = () => page.evaluate(() => window.drkRoom.state());
    const screenPoint = (x, y) => page.evaluate((a, b) => window.drkRoom.screenPoint(a, b), x, y);

    let near = 0;
    await check('?scenario= with a source beside the detector: the room opens and the live region reads it raised within 10 s', async () => {
      const now = await tick(100);
      const r = await room();
      assert.equal(r.scenario.state, 'done');
      assert.equal(r.shown, true);
      assert.equal(await page.$eval('#room-view', (e) => e.hidden), false);
      const text = await page.$eval('#display', (e) => e.textContent);
      assert.ok(text.includes(now.lines[1]), 'the live region holds the reading');
      near = reading(now.lines);
      assert.ok(near > 20, `raised reading ${now.lines[1]} (the background is about 0.8)`);
    });

    await check('dragging the marker away carries the detector and lowers the reading', async () => {
      const from = await screenPoint(5000, 5000);
      const to = await screenPoint(5000, 9000);
      await page.mouse.move(from[0], from[1]);
      await page.mouse.down();
      await page.mouse.move((from[0] + to[0]) / 2, (from[1] + to[1]) / 2, { steps: 4 });
      await page.mouse.move(to[0], to[1], { steps: 4 });
      await page.mouse.up();
      await tick(1);
      const r = await room();
      assert.ok(Math.abs(r.room.detector[0] - 5000) < 60 && Math.abs(r.room.detector[1] - 9000) < 60,
                `the detector at ${r.room.detector}`);
      const now = await tick(150);
      assert.ok(reading(now.lines) < near / 4, `lowered to ${now.lines[1]} from ${near}`);
    });

    await check('arrow keys on the plan: 0.1 m a press, 0.01 m with Shift', async () => {
      const before = (await room()).room.detector;
      await page.focus('#room-plan');
      for (let i = 0; i < 3; i += 1) await page.keyboard.press('ArrowLeft');
      await page.keyboard.down('Shift');
      await page.keyboard.press('ArrowUp');
      await page.keyboard.press('ArrowUp');
      await page.keyboard.up('Shift');
      await tick(1);
      const after = (await room()).room.detector;
      assert.deepEqual(after, [before[0] - 300, before[1] - 20]);
      const r = await room();
      assert.match(await page.$eval('#room-where', (e) => e.textContent),
                   new RegExp(`${(after[0] / 1000).toFixed(2).replace(/\.?0+$/, '')} m`));
      assert.ok(r.room.rate > 2.3);
    });

    await check('a touch on the plan takes the instrument there; back beside the source the reading rises', async () => {
      const to = await screenPoint(5000, 5200);
      await page.touchscreen.tap(to[0], to[1]);
      await tick(1);
      const r = await room();
      assert.ok(Math.abs(r.room.detector[0] - 5000) < 60 && Math.abs(r.room.detector[1] - 5200) < 60,
                `the detector at ${r.room.detector}`);
      const now = await tick(100);
      assert.ok(reading(now.lines) > near / 2, `raised again: ${now.lines[1]}`);
    });

    await check('the recorded search replays in the native runner to the same display (cells, cursor, backlight) at every tick', async () => {
      const recording = await page.evaluate(() => window.drkRoom.recording());
      assert.match(recording, /^mode down\ntick 3\nmode up\nplace S gamma 50 at 5 5\.3\ntick \d+\nmove /);
      const scriptFile = path.join(work, 'search.scn');
      const traceFile = path.join(work, 'search.trace');
      fs.writeFileSync(scriptFile, recording);
      childProcess.execFileSync(options.runner, ['--script', scriptFile, '--trace', traceFile],
                                { stdio: 'inherit' });
      const native = fs.readFileSync(traceFile, 'utf8').trim().split('\n').map((l) => {
        const t = JSON.parse(l);
        return { on: t.on, lcd: t.lcd, cells: t.cells, cursor: t.cursor, backlight: t.backlight };
      });
      assert.equal(native.length, lcds.length);
      assert.deepEqual(native, lcds);
    });

    await check('a scenario opened from a file plays; one with an error says where', async () => {
      const good = path.join(work, 'small.scn');
      fs.writeFileSync(good, 'room 6 4\nexpect rate 2..3\n');
      const chooser = await page.$('#room-file');
      await chooser.uploadFile(good);
      await page.waitForFunction(() => window.drkRoom.state().scenario.state === 'playing',
                                 { timeout: StepTimeoutMs });
      await tick(1);
      let r = await room();
      assert.equal(r.scenario.state, 'done', r.scenario.message);
      assert.deepEqual(r.room.size, [6000, 4000]);
      const bad = path.join(work, 'bad.scn');
      fs.writeFileSync(bad, 'room 6 4\nplace S gamma 1 at 7 1\n');
      await chooser.uploadFile(bad);
      await page.waitForFunction(() => window.drkRoom.state().scenario.state === 'failed',
                                 { timeout: StepTimeoutMs });
      r = await room();
      assert.match(r.scenario.message, /^bad\.scn:2: place S gamma 1 at 7 1: a position outside the room \(room 6 4\)/);
      assert.match(await page.$eval('#room-scenario', (e) => e.textContent), /bad\.scn:2/);
    });

    await check('the language switch writes the room in Russian and back in English', async () => {
      const words = () => page.evaluate(() => ['#room-title', '#room-toggle', '#room-where', '#room-legend']
        .map((id) => document.querySelector(id).textContent));
      await page.click('#lang-button');
      const ru = await words();
      assert.deepEqual(ru.slice(0, 2), ['Комната', 'Скрыть комнату']);
      assert.match(ru[2], /^Прибор в точке [0-9,]+ м, [0-9,]+ м$/);
      assert.match(ru[3], /^Комната 6 × 4 м, сетка 1 м\. Источники:/);
      await page.click('#lang-button');
      const en = await words();
      assert.deepEqual(en.slice(0, 2), ['Room', 'Hide the room']);
      assert.match(en[2], /^The instrument is at [0-9.]+ m, [0-9.]+ m$/);
    });

    await check('no console error, no page error, no failed request', async () => {
      assert.deepEqual(problems, []);
    });
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log(`web-room: ${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
