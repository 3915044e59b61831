// Figures of the page in headless Chromium, ticking in real time as a visitor's page does (not
// a test: nothing here passes or fails): the time from navigation to the first frame, and
// the processor time of the page's renderer and of the whole browser while the instrument
// measures. Optionally a screenshot of the page after a short press of M.
//
//   node tests/web/measure_page.js --site build/web [--seconds 30] [--screenshot PNG]
'use strict';

const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const Chromium = process.env.DRK_CHROMIUM || '/usr/bin/chromium';

function serve(root) {
  const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm',
  };
  const server = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://localhost').pathname;
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(root) || !fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function cpuSeconds(session) {
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  const byType = {};
  for (const process of processInfo) byType[process.type] = (byType[process.type] || 0) + process.cpuTime;
  return byType;
}

async function main() {
  const options = { site: null, seconds: '30', screenshot: null };
  const args = process.argv.slice(2);
  for (let i = 0; i < args.length; i += 2) options[args[i].replace(/^--/, '')] = args[i + 1];
  if (!options.site) {
    console.error('usage: measure_page.js --site DIR [--seconds N] [--screenshot PNG]');
    process.exit(2);
  }
  const seconds = Number(options.seconds);
  const server = await serve(path.resolve(options.site));
  const browser = await puppeteer.launch({
    executablePath: Chromium,
    headless: true,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 760, height: 560, deviceScaleFactor: 1 });
    const wasm = fs.statSync(path.join(options.site, 'drk20vt5p.wasm')).size;
    await page.goto(`http://127.0.0.1:${server.address().port}/`, { waitUntil: 'load' });
    await page.waitForFunction(() => performance.getEntriesByName('drk-first-frame').length > 0,
                               { timeout: 60000 });
    const firstFrame = await page.evaluate(() => performance.getEntriesByName('drk-first-frame')[0].startTime);
    console.log(`wasm: ${wasm} bytes; first frame ${firstFrame.toFixed(0)} ms after navigation start`);

    // Past the power-on screen and the greeting: measuring.
    await new Promise((resolve) => setTimeout(resolve, 5000));
    const session = await browser.target().createCDPSession();
    const before = await cpuSeconds(session);
    const start = Date.now();
    await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
    const after = await cpuSeconds(session);
    const wall = (Date.now() - start) / 1000;
    for (const type of Object.keys(after)) {
      const used = after[type] - (before[type] || 0);
      console.log(`cpu ${type}: ${used.toFixed(2)} s in ${wall.toFixed(1)} s (${((100 * used) / wall).toFixed(1)} % of one core)`);
    }
    console.log(`display: ${await page.$eval('#display', (element) => element.innerText.replace(/\n/g, ' | '))}`);

    if (options.screenshot) {
      await page.keyboard.down('m');
      await new Promise((resolve) => setTimeout(resolve, 300));
      await page.keyboard.up('m');
      await new Promise((resolve) => setTimeout(resolve, 3000));
      await page.screenshot({ path: options.screenshot });
    }
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
