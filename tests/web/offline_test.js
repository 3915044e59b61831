// The page as an installable offline app, in headless Chromium driven by puppeteer-core: the
// manifest leaves nothing that stops installing it, its service worker keeps the page's files,
// and with the server stopped and the network cut a reload still brings the instrument up and
// running. A file the page never needed is not there offline (the network really is cut).
//
//   node tests/web/offline_test.js --site build/web
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const Chromium = process.env.DRK_CHROMIUM || '/usr/bin/chromium';
const StepTimeoutMs = 60000;  // a generous bound for one condition on a busy machine

function siteArgument() {
  const args = process.argv.slice(2);
  if (args.length !== 2 || args[0] !== '--site') {
    console.error('usage: offline_test.js --site DIR');
    process.exit(2);
  }
  return path.resolve(args[1]);
}

function serve(root) {
  const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm', '.png': 'image/png',
    '.svg': 'image/svg+xml', '.webmanifest': 'application/manifest+json',
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
  return new Promise((resolve) => { server.listen(0, '127.0.0.1', () => resolve(server)); });
}

// Brings the page up in its test mode and runs `ticks` ticks; the LCD's lines after them.
async function runInstrument(page, ticks) {
  await page.waitForFunction(() => window.drkTest && window.drkTest.state, { timeout: StepTimeoutMs });
  await page.evaluate(() => window.drkTest.ready);
  await page.evaluate((n) => window.drkTest.tick(n), ticks);
  return (await page.evaluate(() => window.drkTest.state())).lcd;
}

async function main() {
  const site = siteArgument();
  const server = await serve(site);
  const address = `http://127.0.0.1:${server.address().port}/index.html?test`;
  const browser = await puppeteer.launch({
    executablePath: Chromium, headless: true, args: ['--no-sandbox', '--mute-audio'],
  });
  let failed = false;
  try {
    const page = await browser.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
    await page.goto(address, { waitUntil: 'load', timeout: StepTimeoutMs });
    const online = await runInstrument(page, 40);
    assert.ok(online[0].startsWith('ГAMMA'), `online: ${JSON.stringify(online)}`);

    const client = await page.target().createCDPSession();
    const manifest = await client.send('Page.getAppManifest');
    assert.deepEqual(manifest.errors, [], 'the manifest parses');
    const installability = await client.send('Page.getInstallabilityErrors');
    assert.deepEqual(installability.installabilityErrors, [], 'nothing stops installing the page');
    console.log('ok   the manifest and the icons make the page installable');

    // The service worker has kept the files and controls the page.
    await page.evaluate(() => navigator.serviceWorker.ready);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: StepTimeoutMs });

    // Cut: no server any more, and the browser offline.
    server.closeAllConnections();
    await new Promise((resolve) => server.close(resolve));
    await page.setOfflineMode(true);
    await page.reload({ waitUntil: 'load', timeout: StepTimeoutMs });
    const offline = await runInstrument(page, 40);
    assert.deepEqual(offline, online, 'offline the instrument shows what it showed online');
    const missing = await page.evaluate(() => fetch('never-there.txt').then(() => 'fetched', () => 'failed'));
    assert.equal(missing, 'failed', 'a file the page never kept cannot be fetched offline');
    assert.deepEqual(problems, []);
    console.log(`ok   reloaded with the network cut, the page runs: ${JSON.stringify(offline)}`);
  } catch (error) {
    failed = true;
    console.log(`FAIL ${error.stack || error}`);
  } finally {
    await browser.close();
    if (server.listening) server.close();
  }
  process.exit(failed ? 1 : 0);
}

main();
