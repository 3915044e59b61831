// The instrument's page in headless Chromium, driven by puppeteer-core, against the native
// headless runner: the page ticks only when the test says (its test hook), so after the same
// inputs at the same ticks it must show what the runner shows, pixel for pixel and cell for
// cell. Real mouse, touch and key events go through the page's own handlers.
//
//   node tests/web/page_test.js --site build/web --runner HEADLESS [--screenshot PNG]
'use strict';

const assert = require('node:assert/strict');
const childProcess = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const Power = 0;
const Mode = 1;
const Chromium = process.env.DRK_CHROMIUM || '/usr/bin/chromium';
const StepTimeoutMs = 60000;  // a generous bound for one condition on a busy machine

function parseArguments() {
  const options = { site: null, runner: null, screenshot: null };
  const args = process.argv.slice(2);
  for (let i = 0; i < args.length; i += 2) {
    const key = args[i].replace(/^--/, '');
    if (!(key in options) || args[i + 1] === undefined) {
      console.error('usage: page_test.js --site DIR --runner HEADLESS [--screenshot PNG]');
      process.exit(2);
    }
    options[key] = path.resolve(args[i + 1]);
  }
  if (!options.site || !options.runner) {
    console.error('usage: page_test.js --site DIR --runner HEADLESS [--screenshot PNG]');
    process.exit(2);
  }
  return options;
}

// A static file server on the loopback address, as any static server would serve the page.
function serve(root) {
  const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm', '.png': 'image/png',
  };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

// The native runner on the same steps: its trace (one object a tick) and its screenshots.
function runNative(runner, script, work) {
  const scriptFile = path.join(work, 'steps.scn');
  const traceFile = path.join(work, 'native.trace');
  fs.writeFileSync(scriptFile, script);
  childProcess.execFileSync(runner, ['--script', scriptFile, '--trace', traceFile],
                            { cwd: work, stdio: 'inherit' });
  return fs.readFileSync(traceFile, 'utf8').trim().split('\n').map((line) => JSON.parse(line));
}

async function main() {
  const options = parseArguments();
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'drk-page-test-'));
  const server = await serve(options.site);
  const address = `http://127.0.0.1:${server.address().port}/index.html?test`;
  const browser = await puppeteer.launch({
    executablePath: Chromium,
    headless: true,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
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
    // Room for a 4x panel on a display of two device pixels per CSS pixel.
    await page.setViewport({ width: 1000, height: 1000, deviceScaleFactor: 2, hasTouch: true });

    const loadStart = Date.now();
    await page.goto(address, { waitUntil: 'load', timeout: StepTimeoutMs });
    await page.waitForFunction(() => window.drkTest && window.drkTest.state, { timeout: StepTimeoutMs });
    await page.evaluate(() => window.drkTest.ready);
    const loaded = await page.evaluate(() => window.drkTest.state());
    console.log(`page: first frame ${loaded.firstFrameMs.toFixed(0)} ms after navigation start ` +
                `(${Date.now() - loadStart} ms to ready, as the test saw it), scale ${loaded.scale}`);

    const state = () => page.evaluate(() => window.drkTest.state());
    const tick = (count) => page.evaluate((n) => window.drkTest.tick(n), count);
    const canvas = await page.$('#panel');
    // A point in the middle of a panel button, in the page's CSS pixels.
    const buttonPoint = async (button) => {
      const [left, top, right, bottom] = await page.evaluate((b) => window.drkTest.buttonBox(b), button);
      const box = await canvas.boundingBox();
      const width = await page.evaluate(() => document.getElementById('panel').width);
      const perPixel = box.width / (width / loaded.scale);
      return { x: box.x + ((left + right) / 2) * perPixel, y: box.y + ((top + bottom) / 2) * perPixel };
    };
    // Waits until the page has handed `count` more inputs to the simulator.
    const delivered = async (before, count) => {
      await page.waitForFunction((n) => window.drkTest.state().delivered >= n,
                                 { timeout: StepTimeoutMs }, before + count);
    };

    // Each case: an input held for some ticks, then ticks to let the instrument answer; the
    // native runner gets the same steps. `lines`: what the display reads out after it.
    const input = async (down, up, count) => {
      const before = (await state()).delivered;
      await down();
      await delivered(before, 1);
      return async () => {
        if (up) await up();
        await delivered(before, count);
      };
    };
    const mouseOn = (button, mouseButton) => async () => {
      const at = await buttonPoint(button);
      await page.mouse.move(at.x, at.y);
      await page.mouse.down({ button: mouseButton });
    };
    const mouseUp = (mouseButton) => () => page.mouse.up({ button: mouseButton });
    const cases = [
      { name: 'left mouse button on MODE (the first press lights the backlight)',
        down: mouseOn(Mode, 'left'), up: mouseUp('left'), inputs: 2,
        native: ['mode down', 'tick 1', 'mode up', 'tick 10'], lines: ['ГАММА'], lit: true },
      { name: 'key M: the next mode',
        down: () => page.keyboard.down('m'), up: () => page.keyboard.up('m'), inputs: 2,
        native: ['mode down', 'tick 1', 'mode up', 'tick 10'], lines: ['БЕТА'] },
      { name: 'right mouse button on MODE',
        down: mouseOn(Mode, 'right'), up: mouseUp('right'), inputs: 2,
        native: ['mode down', 'tick 1', 'mode up', 'tick 10'], lines: ['АЛЪФА'] },
      { name: 'Space: the next mode',
        down: () => page.keyboard.down(' '), up: () => page.keyboard.up(' '), inputs: 2,
        native: ['mode down', 'tick 1', 'mode up', 'tick 10'], lines: ['ДОЗА'] },
      { name: 'the page\'s MODE button, held with Enter',
        down: async () => { await page.focus('#mode-button'); await page.keyboard.down('Enter'); },
        up: () => page.keyboard.up('Enter'), inputs: 2,
        native: ['mode down', 'tick 1', 'mode up', 'tick 10'], lines: ['ГАММА'] },
      { name: 'a touch on MODE',
        down: async () => {
          const at = await buttonPoint(Mode);
          await page.touchscreen.touchStart(at.x, at.y);
        },
        up: () => page.touchscreen.touchEnd(), inputs: 2,
        native: ['mode down', 'tick 1', 'mode up', 'tick 10'], lines: ['БЕТА'] },
      { name: 'a click on POWER switches off',
        down: async () => { await mouseOn(Power, 'left')(); await page.mouse.up(); }, inputs: 2,
        native: ['power', 'tick 40'], hold: 0, after: 40, lines: ['', ''], off: true },
      { name: 'key P switches on again',
        down: async () => { await page.keyboard.down('p'); await page.keyboard.up('p'); }, inputs: 1,
        native: ['power', 'tick 10'], hold: 0, after: 10, lines: ['DRK-20  VT5P', '+74955550123'] },
      { name: 'Enter on the focused page POWER button is POWER',
        down: async () => {
          await page.focus('#power-button');
          await page.keyboard.down('Enter');
          await page.keyboard.up('Enter');
        },
        inputs: 2, native: ['tick 30', 'power', 'tick 40'], hold: 0, before: 30, after: 40,
        lines: ['', ''], off: true },
      { name: 'the page\'s POWER button under the mouse switches on',
        down: async () => {
          const box = await (await page.$('#power-button')).boundingBox();
          await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
          await page.mouse.down();
          await page.mouse.up();
        },
        inputs: 2, native: ['power', 'tick 10'], hold: 0, after: 10,
        lines: ['DRK-20  VT5P', '+74955550123'] },
    ];

    const startTicks = 600;
    let script = `tick ${startTicks}\nscreenshot start.png\n`;
    for (const c of cases) script += `${c.native.join('\n')}\n`;
    script += 'tick 100\nscreenshot end.png\n';
    const trace = runNative(options.runner, script, work);
    const nativeAt = (ticks) => trace[ticks - 1];
    const playedUpTo = (ticks) => trace.slice(0, ticks).reduce((sum, line) => sum + line.played, 0);

    const sameAsNative = async (what) => {
      const page = await state();
      const native = nativeAt(page.ticks);
      assert.ok(native, `the native run has no tick ${page.ticks}`);
      assert.deepEqual(page.cells, native.cells, `${what}: the LCD cells at tick ${page.ticks}`);
      assert.deepEqual(page.lcd, native.lcd, `${what}: the LCD text at tick ${page.ticks}`);
      assert.equal(page.on, native.on === 1, `${what}: on at tick ${page.ticks}`);
      assert.equal(page.backlight, native.backlight === 1, `${what}: backlight at tick ${page.ticks}`);
      assert.equal(page.audio.samples, playedUpTo(page.ticks), `${what}: samples handed to the sound`);
      return page;
    };

    // The frame as the canvas shows it against the runner's PNG, decoded by the browser
    // without colour management.
    const sameFrame = async (png) => {
      const shown = await page.evaluate(() => window.drkTest.shownFrame());
      assert.ok(shown, 'the canvas shows every panel pixel as a whole block of the scale');
      const reference = await page.evaluate(async (data) => {
        const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
        const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }),
                                               { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
        const surface = new OffscreenCanvas(bitmap.width, bitmap.height);
        const context = surface.getContext('2d');
        context.drawImage(bitmap, 0, 0);
        const pixels = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
        let text = '';
        for (let i = 0; i < pixels.length; i += 0x8000) {
          text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
        }
        return { width: bitmap.width, text: btoa(text) };
      }, fs.readFileSync(path.join(work, png)).toString('base64'));
      const a = Buffer.from(shown, 'base64');
      const b = Buffer.from(reference.text, 'base64');
      assert.equal(a.length, b.length, 'frame size');
      // The LCD's rectangle first (where the instrument writes), then the whole panel.
      const lcd = { left: 32, top: 112, right: 217, bottom: 179 };
      let lcdDiffer = 0;
      let differ = 0;
      for (let i = 0; i < a.length; i += 4) {
        const x = (i / 4) % reference.width;
        const y = Math.floor(i / 4 / reference.width);
        if (a.compare(b, i, i + 4, i, i + 4) !== 0) {
          differ += 1;
          if (x >= lcd.left && x < lcd.right && y >= lcd.top && y < lcd.bottom) lcdDiffer += 1;
        }
      }
      assert.equal(lcdDiffer, 0, 'pixels of the LCD that differ from the native screenshot');
      assert.equal(differ, 0, 'pixels of the panel that differ from the native screenshot');
    };

    const cyrillicWord = /^[\u0400-\u04FF]+$/;

    await check(`after ${startTicks} ticks the page shows what the native runner shows`, async () => {
      await tick(startTicks);
      const now = await sameAsNative('start');
      await sameFrame('start.png');
      const title = now.lines[0].split(' ')[0];
      assert.equal(title, 'ГАММА');
      assert.ok(cyrillicWord.test(title), 'the title is read out in Cyrillic letters');
      assert.match(now.lines[1], /мкЗв\/ч/, 'the unit is read out in Cyrillic letters');
      assert.match(now.words, /^On\. Backlight dark\. No alarm\.$/);
    });

    await check('the greeting and the clicks reach Web Audio', async () => {
      const now = await state();
      const greeting = playedUpTo(30);
      assert.ok(greeting > 8000, `the greeting (${greeting} samples in the first 3 s)`);
      assert.equal(now.audio.state, 'running');
      assert.equal(now.audio.samples, playedUpTo(startTicks));
      assert.equal(now.audio.played, now.audio.samples, 'every sample was handed to Web Audio');
      assert.equal(now.audio.dropped, 0);
    });

    for (const c of cases) {
      await check(c.name, async () => {
        const hold = c.hold === undefined ? 1 : c.hold;
        const after = c.after === undefined ? 10 : c.after;
        if (c.before) await tick(c.before);
        const release = await input(c.down, c.up, c.inputs);
        if (hold > 0) {
          assert.equal((await state()).modeHeld, true, 'MODE is held');
          await tick(hold);
        }
        await release();
        await tick(after);
        const now = await sameAsNative(c.name);
        // A title's line also holds the error field and the pulse star: its first word.
        if (c.lines.length === 1) {
          assert.equal(now.lines[0].split(' ')[0], c.lines[0], 'the title as read out');
        } else {
          for (let row = 0; row < c.lines.length; row += 1) {
            assert.equal(now.lines[row].trim(), c.lines[row], `line ${row + 1} as read out`);
          }
        }
        if (c.lit) assert.match(now.words, /Backlight lit\./);
        if (c.off) assert.equal(now.words, 'The instrument is off.');
        if (!c.off) assert.match(now.words, /^On\./);
        assert.equal(now.modeHeld, false, 'MODE released');
      });
    }

    await check('measuring again after power-on: the same frame as the native runner', async () => {
      await tick(100);
      const now = await sameAsNative('end');
      await sameFrame('end.png');
      assert.equal(now.lines[0].split(' ')[0], 'ГАММА');
    });

    // The factory settings, by the page's button and by key F: from the settings menu back
    // to the page's start, the instrument on again, as a fresh native run shows it.
    const fresh = runNative(options.runner, 'tick 40\n', work);
    const factory = [
      ['the Factory settings button', () => page.click('#factory-button')],
      ['key F', () => page.keyboard.press('f')],
    ];
    for (const [name, action] of factory) {
      await check(`${name}: everything as at the start, the instrument on again`, async () => {
        const release = await input(() => page.keyboard.down('m'), () => page.keyboard.up('m'), 2);
        await tick(20);
        await release();
        await tick(10);
        assert.equal((await state()).lines[0].trim(), 'УСТАНОВКИ', 'in the settings menu');
        const before = (await state()).delivered;
        await action();
        await delivered(before, 1);
        await tick(40);
        const now = await state();
        assert.deepEqual(now.cells, fresh[39].cells, 'the LCD 40 ticks after the start');
        assert.equal(now.lines[0].split(' ')[0], 'ГАММА');
        assert.match(now.words, /^On\. Backlight dark\./);
      });
    }

    // The hash list of every target's outputs (tests/golden/outputs.sha256) on the page: each
    // golden session and scenario played through the page's own tick, its sound (as the
    // runner's --wav writes it) by its SHA-256, its last frame against the runner's PNG whose
    // SHA-256 is the list's.
    await check('every golden session and scenario: the page\'s frame and sound as in ' +
                'tests/golden/outputs.sha256', async () => {
      const source = path.join(__dirname, '..', '..');
      const listed = new Map();
      for (const line of fs.readFileSync(path.join(source, 'tests/golden/outputs.sha256'), 'utf8')
        .split('\n').filter(Boolean)) {
        listed.set(line.slice(66), line.slice(0, 64));
      }
      const differences = [];
      let scripts = 0;
      for (const dir of ['golden', 'scenarios']) {
        for (const file of fs.readdirSync(path.join(source, 'tests', dir)).sort()) {
          if (!file.endsWith('.scn')) continue;
          scripts += 1;
          const name = `${dir}/${file.slice(0, -4)}`;
          const script = path.join(source, 'tests', dir, file);
          const played = await page.evaluate((n, t) => window.drkTest.playScenario(n, t),
                                             script, fs.readFileSync(script, 'utf8'));
          if (played.action !== 'done') {
            differences.push(`${name}.scn on the page: ${played.action} ${played.message}`);
            continue;
          }
          if (played.wavSha256 !== listed.get(`${name}.wav`)) {
            differences.push(`${name}.wav on the page: SHA-256 ${played.wavSha256}, the list has ` +
                             `${listed.get(`${name}.wav`)}`);
          }
          const png = path.join(work, 'listed.png');
          childProcess.execFileSync(options.runner, ['--script', script, '--screenshot', png],
                                    { cwd: work, stdio: 'inherit' });
          const pngSha256 = crypto.createHash('sha256').update(fs.readFileSync(png)).digest('hex');
          if (pngSha256 !== listed.get(`${name}.png`)) {
            differences.push(`${name}.png on native (the page's frame is compared with it): not the list's`);
            continue;
          }
          try {
            await sameFrame('listed.png');
          } catch (error) {
            differences.push(`${name}.png on the page: ${error.message}`);
          }
        }
      }
      assert.ok(scripts > 10, `only ${scripts} scripts`);
      assert.deepEqual(differences, []);
    });

    if (options.screenshot) {
      // The page as a person sees it on a plain screen, the backlight lit by a short press.
      await page.setViewport({ width: 760, height: 560, deviceScaleFactor: 1, hasTouch: true });
      await page.waitForFunction(() => window.drkTest.state().scale === 1, { timeout: StepTimeoutMs });
      await page.keyboard.down('m');
      await tick(1);
      await page.keyboard.up('m');
      await tick(20);
      await page.screenshot({ path: options.screenshot });
    }

    await check('a touch on MODE that the browser cancels releases MODE (and logs no error)', async () => {
      const at = await buttonPoint(Mode);
      const cdp = await page.target().createCDPSession();
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [at] });
      await tick(1);
      assert.equal((await state()).modeHeld, true, 'MODE is held');
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchCancel', touchPoints: [] });
      await cdp.detach();
      await tick(10);
      assert.equal((await state()).modeHeld, false, 'MODE released');
    });

    await check('a huge viewport at 3 device pixels a pixel: the canvas no larger than a 4K screen', async () => {
      await page.setViewport({ width: 8000, height: 8000, deviceScaleFactor: 3, hasTouch: true });
      await page.waitForFunction(() => window.drkTest.state().scale > 3, { timeout: StepTimeoutMs });
      const size = await page.evaluate(() => {
        const canvas = document.querySelector('canvas');
        return { width: canvas.width, height: canvas.height };
      });
      assert.ok(size.width * size.height <= 3840 * 2160,
                `canvas ${size.width} x ${size.height} device pixels`);
    });

    await check('no console error, no page error, no failed request', async () => {
      assert.deepEqual(problems, []);
    });
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log(`web-page: ${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
