// The page for people who cannot see or cannot hear, in headless Chromium: captions of every
// speech message, of the tone and of the clicks; the live region's announcements while the
// background is measured; the first visit's "Switch on"; mute and volume on the gain node;
// Space as MODE; the Russian interface; and axe-core's WCAG 2.2 A and AA rules in each state.
// The page ticks only when the test says (its test hook), so every count is the same each run.
//
//   node tests/web/a11y_test.js --site build/web [--shots DIR]   (DIR: the README's pictures)
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');
const { AxePuppeteer } = require('@axe-core/puppeteer');

const Chromium = process.env.DRK_CHROMIUM || '/usr/bin/chromium';
const StepTimeoutMs = 60000;
const Resources = path.join(__dirname, '..', '..', 'resources');

function numbered(file) {
  const table = new Map();
  for (const line of fs.readFileSync(path.join(Resources, file), 'utf8').split('\n')) {
    const [number, text] = line.split('\t');
    if (text !== undefined && /^\d+$/.test(number)) table.set(Number(number), text);
  }
  return table;
}

function serve(root) {
  const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
                  '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm' };
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
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function main() {
  const at = process.argv.indexOf('--site');
  if (at < 0 || !process.argv[at + 1]) {
    console.error('usage: a11y_test.js --site DIR');
    process.exit(2);
  }
  const site = path.resolve(process.argv[at + 1]);
  const shotsAt = process.argv.indexOf('--shots');
  const shots = shotsAt > 0 ? path.resolve(process.argv[shotsAt + 1]) : null;
  const shoot = async (page, name) => {
    if (shots) await page.screenshot({ path: path.join(shots, name) });
  };
  const voice = numbered('voice_messages.txt');
  const glosses = numbered('voice_glosses_en.txt');
  const server = await serve(site);
  const base = `http://127.0.0.1:${server.address().port}/index.html`;
  const browser = await puppeteer.launch({
    executablePath: Chromium,
    headless: true,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
  });
  let failed = 0;
  const check = async (name, body) => {
    try {
      await body();
      console.log(`ok   ${name}`);
    } catch (error) {
      failed += 1;
      console.log(`FAIL ${name}\n${error.stack || error}`);
    }
  };
  const open = async (query, language = 'en-GB') => {
    const page = await browser.newPage();
    const problems = [];
    if (process.env.DRK_A11Y_VERBOSE) page.on('console', (m) => console.log(`     page: ${m.text()}`));
    page.on('pageerror', (error) => problems.push(error.message));
    await page.evaluateOnNewDocument((lang) => {
      Object.defineProperty(navigator, 'languages', { get: () => [lang] });
    }, language);
    await page.setViewport({ width: 1000, height: 900 });
    await page.goto(`${base}?${query}`, { waitUntil: 'load', timeout: StepTimeoutMs });
    await page.waitForFunction(() => window.drkTest && window.drkTest.state, { timeout: StepTimeoutMs });
    await page.evaluate(() => window.drkTest.ready);
    page.problems = problems;
    return page;
  };
  const state = (page) => page.evaluate(() => window.drkTest.state());
  const tick = (page, n) => page.evaluate((count) => window.drkTest.tick(count), n);
  const axe = async (page, name) => {
    const result = await new AxePuppeteer(page)
      .withTags(['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa']).analyze();
    const found = result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`);
    assert.deepEqual(found, [], `axe-core in state "${name}"`);
  };

  try {
    const page = await open('test');
    await page.click('#captions-button');

    await check('every speech message is captioned, words as the table, gloss below', async () => {
      const shown = await page.evaluate((count) => {
        const out = [];
        for (let n = 0; n < count; n += 1) {
          window.drkTest.say(n);
          const s = window.drkTest.state();
          out.push([s.captions.words, s.captions.gloss]);
        }
        return out;
      }, voice.size);
      assert.equal(voice.size, 113);
      const wrong = [];
      shown.forEach(([words, gloss], n) => {
        if (words !== voice.get(n) || gloss !== glosses.get(n)) wrong.push(`${n}: ${words} / ${gloss}`);
      });
      assert.deepEqual(wrong, []);
      assert.equal(await page.$eval('#caption-words', (e) => e.lang), 'ru');
    });

    await check('the greeting is captioned in the tick its sound plays, and announced', async () => {
      await page.reload({ waitUntil: 'load' });
      await page.waitForFunction(() => window.drkTest && window.drkTest.state);
      await page.evaluate(() => window.drkTest.ready);
      let s = await state(page);
      assert.equal(s.captions.on, true, 'the captions toggle is remembered');
      for (let i = 0; i < 100 && s.audio.sounds === 0; i += 1) s = (await tick(page, 1), await state(page));
      assert.equal(s.captions.words, 'Дозиметр включён.');
      assert.equal(s.captions.gloss, 'Dosimeter on.');
      await shoot(page, 'page-captions-en.png');
      assert.match(s.announced, /Дозиметр включён\./);
      await tick(page, 31);
      assert.equal((await state(page)).captions.words, '', 'gone 3 s after');
    });

    await check('live region: calm while measuring, a mode change within one tick', async () => {
      // Counted from the outside: every change to any live region of the page, by tick.
      const result = await page.evaluate(() => {
        const regions = [...document.querySelectorAll('[aria-live], [role=status], [role=log], [role=alert]')];
        const observer = new MutationObserver(() => {});
        for (const region of regions) {
          observer.observe(region, { childList: true, subtree: true, characterData: true });
        }
        const perMinute = [0, 0, 0];
        const said = [];
        for (let i = 0; i < 1800; i += 1) {
          window.drkTest.tick(1);
          const changed = new Set(observer.takeRecords().map((r) => regions.find((g) => g.contains(r.target))));
          perMinute[Math.floor(i / 600)] += changed.size;
          for (const region of changed) said.push(`${i}: ${region.textContent}`);
        }
        console.log(said.join('\n'));
        observer.disconnect();
        return { perMinute, lines: window.drkTest.state().lines };
      });
      console.log(`     announcements a minute while measuring: ${result.perMinute.join(', ')}`);
      assert.match(result.lines[0], /ГАММА/);
      for (const n of result.perMinute) assert.ok(n <= 6, `${n} announcements in a minute`);
      // MODE, short: the first press lights the backlight, the second gives БЕТА.
      for (let press = 0; press < 2; press += 1) {
        await page.keyboard.down('m');
        await tick(page, 3);
        await page.keyboard.up('m');
        await page.waitForFunction(() => !window.drkTest.state().modeHeld);
        let s = await state(page);
        for (let i = 0; i < 20 && !/БЕТА/.test(s.lines[0]); i += 1) s = (await tick(page, 1), await state(page));
        if (press === 1) {
          assert.match(s.lines[0], /БЕТА/);
          assert.match(s.announced, /БЕТА/, 'announced in the tick it shows');
        }
      }
      await axe(page, 'measuring, captions on');
    });

    await check('menu announced; clicks captioned at most once a second', async () => {
      // Clicks on: hold MODE into the menu, short presses to ЩЕЛЧКИ, a long press, leave.
      const hold = async (ticks) => {
        await page.keyboard.down('m');
        await tick(page, ticks);
        await page.keyboard.up('m');
        await page.waitForFunction(() => !window.drkTest.state().modeHeld);
        await tick(page, 3);
      };
      await hold(22);
      let s = await state(page);
      assert.match(s.lines[0] + s.lines[1], /УСТАНОВКИ/);
      assert.match(s.announced, /УСТАНОВКИ/);
      await axe(page, 'menu');
      for (let i = 0; i < 12 && !/ЩЕЛЧКИ/.test((await state(page)).lines.join(' ')); i += 1) await hold(2);
      await hold(18);
      for (let i = 0; i < 12 && !/ВЫХОД/.test((await state(page)).lines.join(' ')); i += 1) await hold(2);
      await hold(18);
      await tick(page, 40);
      s = await state(page);
      assert.match(s.captions.sound, /^\[clicks: \d+ a second\]$/);
    });

    await check('editor and alarm: announced at once, the tone captioned', async () => {
      const hold = async (ticks) => {
        await page.keyboard.down('m');
        await tick(page, ticks);
        await page.keyboard.up('m');
        await page.waitForFunction(() => !window.drkTest.state().modeHeld);
        await tick(page, 3);
      };
      const shows = async (pattern) => pattern.test((await state(page)).lines.join(' '));
      // The dose-rate threshold down to 0000.5 (the factory value 9999.9).
      await hold(22);
      for (let i = 0; i < 12 && !(await shows(/ПРГ мкЗв/)); i += 1) await hold(2);
      await hold(18);
      let s = await state(page);
      assert.ok(s.cursor >= 0, 'the editor is open');
      assert.match(s.announced, /9999/);
      await axe(page, 'editor');
      for (let digit = 0; digit < 4; digit += 1) {
        await hold(2);
        await hold(18);
      }
      for (let i = 0; i < 6; i += 1) await hold(2);
      assert.match((await state(page)).announced, /0000\.5|0000,5|00005/, 'each digit said');
      await hold(18);
      for (let i = 0; i < 12 && !(await shows(/ВЫХОД/)); i += 1) await hold(2);
      await hold(18);
      // The alarm: announced in the tick it is raised, the tone captioned while it repeats.
      const raised = await page.evaluate(() => {
        for (let i = 0; i < 600; i += 1) {
          window.drkTest.tick(1);
          const now = window.drkTest.state();
          if (now.alarms !== 0) return now;
        }
        return null;
      });
      assert.ok(raised, 'the alarm is raised within 60 s');
      assert.match(raised.announced, /Alarm: the reading is at or above its threshold\./);
      const toned = await page.evaluate(() => {
        for (let i = 0; i < 30; i += 1) {
          window.drkTest.tick(1);
          const now = window.drkTest.state();
          if (now.captions.sound.includes('[alarm tone]')) return now;
        }
        return null;
      });
      assert.ok(toned, '[alarm tone] shown while the alarm sounds');
      await axe(page, 'alarm, captions on');
    });

    await check('Space is MODE also on a focused POWER; Enter presses the focused button', async () => {
      await page.focus('#power-button');
      await page.keyboard.down(' ');
      await tick(page, 2);
      assert.equal((await state(page)).modeHeld, true);
      await page.keyboard.up(' ');
      await page.waitForFunction(() => !window.drkTest.state().modeHeld);
      await tick(page, 3);
      assert.equal((await state(page)).on, true, 'Space did not switch off');
    });

    await check('mute and volume set the gain on the way to the speakers, remembered', async () => {
      await page.click('#mute-button');
      assert.equal((await state(page)).audio.gain, 0);
      await page.click('#mute-button');
      await page.$eval('#volume', (e) => {
        e.value = '35';
        e.dispatchEvent(new Event('input'));
      });
      assert.ok(Math.abs((await state(page)).audio.gain - 0.35) < 1e-6);
      await page.click('#mute-button');
      const again = await open('test');
      const s = await state(again);
      assert.equal(s.audio.gain, 0);
      assert.equal(await again.$eval('#volume', (e) => e.value), '35');
      const order = await again.evaluate(() => {
        const focusable = [...document.querySelectorAll('button, input')];
        return focusable.slice(0, 2).map((e) => e.id);
      });
      assert.deepEqual(order, ['mute-button', 'volume']);
      await again.click('#mute-button');
      await again.close();
    });

    await check('first visit: "Switch on" holds the instrument until the first gesture', async () => {
      const gate = await open('test&gate');
      let s = await state(gate);
      assert.equal(s.switchOnShown, true);
      await axe(gate, 'first visit');
      assert.equal(await tick(gate, 20), 0, 'no tick before the gesture');
      await gate.keyboard.press('p');
      s = await state(gate);
      assert.equal(s.switchOnShown, false);
      assert.equal(s.running, true);
      assert.equal(s.delivered, 0, 'the gesture only switches on');
      await tick(gate, 30);
      assert.equal((await state(gate)).on, true);
      await gate.close();
    });

    await check('real time: "Switch on" starts the instrument, whose display then runs', async () => {
      const live = await browser.newPage();
      const errors = [];
      live.on('pageerror', (error) => errors.push(error.message));
      await live.goto(base, { waitUntil: 'load', timeout: StepTimeoutMs });
      await live.waitForSelector('#switch-on:not([hidden])', { timeout: StepTimeoutMs });
      assert.equal((await live.$eval('#line1', (e) => e.textContent)).trim(), '', 'time stands still');
      await live.click('#switch-on');
      await live.waitForFunction(() => /ГАММА/.test(document.getElementById('line1').textContent),
                                 { timeout: StepTimeoutMs });
      assert.equal(await live.$eval('#switch-on', (e) => e.hidden), true);
      assert.deepEqual(errors, []);
      await live.close();
    });

    await check('Russian interface: words from the catalogue, no gloss, display unchanged', async () => {
      const ru = await open('test', 'ru-RU');
      if (!(await state(ru)).captions.on) await ru.click('#captions-button');
      assert.equal(await ru.evaluate(() => document.documentElement.lang), 'ru');
      assert.equal(await ru.$eval('#read-button', (e) => e.textContent), 'Прочитать дисплей');
      await ru.evaluate(() => window.drkTest.say(104));
      const s = await state(ru);
      assert.equal(s.captions.words, 'Фон повышен.');
      assert.equal(s.captions.gloss, '');
      await tick(ru, 40);
      assert.match((await state(ru)).lines[0], /ГАММА/);
      await ru.evaluate(() => window.drkTest.say(110));
      await shoot(ru, 'page-captions-ru.png');
      await axe(ru, 'Russian');
      await ru.click('#lang-button');
      assert.equal(await ru.$eval('#read-button', (e) => e.textContent), 'Read the display');
      await ru.click('#lang-button');
      await ru.close();
    });

    assert.deepEqual(page.problems, []);
  } finally {
    await browser.close();
    server.close();
  }
  if (failed > 0) {
    console.log(`${failed} failed`);
    process.exit(1);
  }
  console.log('all passed');
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
