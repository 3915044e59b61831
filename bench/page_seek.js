// The page's seek in headless Chromium: a second instance of the page's own WebAssembly module
// started afresh and run for an hour of instrument time (36,000 ticks), as a seek to the last
// second of an hour's session re-runs it from the start. Prints the best of three, in ms.
//
//   node bench/page_seek.js --site build/web
'use strict';

const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require(path.join(__dirname, '../tests/web/node_modules/puppeteer-core'));

const Chromium = process.env.DRK_CHROMIUM || '/usr/bin/chromium';

async function main() {
  const args = process.argv.slice(2);
  if (args.length !== 2 || args[0] !== '--site') {
    console.error('usage: page_seek.js --site DIR');
    process.exit(2);
  }
  const root = path.resolve(args[1]);
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                  '.wasm': 'application/wasm' };
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
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const browser = await puppeteer.launch({ executablePath: Chromium, headless: true,
                                           args: ['--no-sandbox', '--mute-audio'] });
  try {
    const page = await browser.newPage();
    // Test mode: the page does not tick on its own while the benchmark runs.
    await page.goto(`http://127.0.0.1:${server.address().port}/index.html?test`, { waitUntil: 'load' });
    await page.waitForFunction(() => window.drkTest && window.drkTest.state);
    await page.evaluate(() => window.drkTest.ready);
    const runs = [];
    for (let run = 0; run < 3; run += 1) {
      runs.push(await page.evaluate(async () => {
        const sim = await window.createDrkModule();
        const start = performance.now();
        sim._WebStart();
        for (let tick = 0; tick < 36000; tick += 1) sim._WebTick();
        return performance.now() - start;
      }));
    }
    console.log(`chromium: an hour re-run from the start ${Math.min(...runs).toFixed(1)} ms ` +
                `(runs: ${runs.map((ms) => ms.toFixed(1)).join(' ')})`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((error) => { console.error(error); process.exit(1); });
