// The console in a real browser: Debian's Chromium, headless, driven by puppeteer-core.
// The test builds the demo installation (whose filters hold two messages in the
// quarantine), adds a held message whose subject and body carry <script>, starts
// kzmta web and goes through the console as an administrator would.
//
// node console_test.mjs KZMTA LIBRARY   (KZ_BROWSER_MODULES: the folder with puppeteer-core;
// KZ_SCREENSHOTS: a folder to write one screenshot of each page to)
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import assert from 'node:assert/strict';

const require = createRequire(resolve(process.env.KZ_BROWSER_MODULES, 'package.json'));
const puppeteer = require('puppeteer-core');

const [kzmta, library] = process.argv.slice(2);
const screenshots = process.env.KZ_SCREENSHOTS || '';
const password = 'console password for the browser test';
const scratch = mkdtempSync(join(tmpdir(), 'kzweb-'));
// The lock files of the report log and the queue are this test's own: tests running
// beside it (a held log lock among them) cannot make a release from the page wait.
process.env.KZ_RUNTIME_DIR = scratch;
const demo = join(scratch, 'demo');
const registry = join(demo, 'registry.reg');
const children = [];
let browser = null;
let step = 'setting up';

// Everything the test does is bounded: a hung browser or server ends it as a failure.
const deadline = setTimeout(() => finish(new Error('the browser test took longer than 240 s')), 240000);

function run(args, input) {
  const result = spawnSync(kzmta, args, { input, encoding: 'utf8', timeout: 120000 });
  assert.equal(result.status, 0, `kzmta ${args.join(' ')}: ${result.stderr}`);
  return result.stdout;
}

const scriptId = '5C0FFEE0000000000000000000000001.MAI';
const scriptMessage = [
  'From: Mallory <mallory@attack.example>',
  'To: Alice Example <alice@example.com>',
  'Subject: <script>window.kzInjected = 1; alert(1)</script>',
  'MIME-Version: 1.0',
  'Content-Type: multipart/mixed; boundary="b1"',
  '',
  '--b1',
  'Content-Type: text/plain; charset="us-ascii"',
  '',
  'Body <script>window.kzInjected = 2</script>',
  '--b1',
  'Content-Type: text/html; charset="us-ascii"',
  '',
  '<p>HTML</p><img src="x" onerror="window.kzInjected = 3"><script>window.kzInjected = 4</script>',
  '--b1',
  'Content-Type: application/octet-stream; name="tool.exe"',
  'Content-Disposition: attachment; filename="tool.exe"',
  'Content-Transfer-Encoding: base64',
  '',
  'TVqQAAMAAAAEAAAA',
  '--b1--',
  '',
].join('\r\n');

// The demo's filters hold mail with programs attached: the message is held by a real run.
function queueScriptMessage() {
  const inbound = join(demo, 'queue', 'SMTP', 'Inbound');
  mkdirSync(join(inbound, 'Messages'), { recursive: true });
  writeFileSync(join(inbound, 'Messages', scriptId), scriptMessage);
  writeFileSync(join(inbound, scriptId), [
    'Recipients=[SMTP:alice@example.com]', 'Sender=[SMTP:mallory@attack.example]',
    'Server=mx1.example.com', 'ClientIP=192.0.2.66', 'Account=example.com', 'User=alice',
    'Status=Undelivered', 'CommandType=SMTP', 'Subject=<script>', 'TimeAcquired=1796548500', '',
  ].join('\r\n'));
  run(['run', '--registry', registry, '--library', library]);
  assert.ok(readdirSync(join(demo, 'quarantine')).includes(scriptId), 'the script message is held');
}

function startServer() {
  return new Promise((resolve, reject) => {
    const server = spawn(kzmta, ['web', '--registry', registry, '--listen', '127.0.0.1:0'],
                         { stdio: ['ignore', 'pipe', 'inherit'] });
    children.push(server);
    let output = '';
    server.stdout.on('data', (data) => {
      output += data;
      const found = output.match(/Serving the console on (http:\/\/[^/]+\/)/);
      if (found) resolve(found[1]);
    });
    server.on('exit', (code) => reject(new Error(`kzmta web ended (${code}): ${output}`)));
  });
}

async function shot(page, name) {
  if (screenshots) await page.screenshot({ path: join(screenshots, `console-${name}.png`), fullPage: true });
}

async function openPage(page, name, ready) {
  await page.evaluate((hash) => { location.hash = hash; }, name);
  await page.waitForFunction(ready, { timeout: 60000 });
}

// True when the canvas has at least one pixel drawn.
function canvasDrawn(id) {
  const canvas = document.getElementById(id);
  if (!canvas || !canvas.width || !canvas.height) return false;
  const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  for (let i = 3; i < pixels.length; i += 4) if (pixels[i] !== 0) return true;
  return false;
}

async function login(page, text) {
  await page.waitForSelector('#password', { visible: true });
  await page.$eval('#login-error', (e) => { e.textContent = ''; });
  // Set at once rather than typed: a throttled address's wait is only seconds long.
  await page.$eval('#password', (e, value) => { e.value = value; }, text);
  await page.click('#login-form button');
}

async function main() {
  run(['demo', '--dir', demo, '--library', library]);
  queueScriptMessage();
  run(['web', 'passwd', '--registry', registry], password + '\n');
  const url = await startServer();

  browser = await puppeteer.launch({
    executablePath: process.env.KZ_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: join(scratch, 'profile'),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage();
  // The sanitizer build on a busy machine answers slowly; every wait is still bounded.
  page.setDefaultTimeout(60000);
  await page.setViewport({ width: 1280, height: 900 });
  const dialogs = [];
  page.on('dialog', async (dialog) => { dialogs.push(dialog.message()); await dialog.dismiss(); });
  const policyViolations = [];
  page.on('console', (message) => {
    if (/Content Security Policy/.test(message.text())) policyViolations.push(message.text());
  });

  await page.goto(url, { waitUntil: 'networkidle0' });
  await shot(page, 'login');
  await login(page, password);

  step = 'overview charts';
  // Overview: every chart is drawn.
  await page.waitForFunction(() => !document.getElementById('page-overview').hidden);
  for (const chart of ['chart-days', 'chart-hours', 'chart-filters', 'chart-providers'])
    await page.waitForFunction(canvasDrawn, { timeout: 60000 }, chart);
  await shot(page, 'overview');

  step = 'report-log search';
  // Report log: a search finds the demo's lottery message.
  await openPage(page, 'log', () => !document.getElementById('page-log').hidden);
  await page.type('#log-subject', 'you are a LOTTERY');
  await page.click('#log-search button');
  await page.waitForFunction(() => {
    const rows = [...document.querySelectorAll('#log-table tbody tr')];
    return rows.length === 1 && rows[0].textContent.includes('You are a lottery winner');
  }, { timeout: 60000 });
  await shot(page, 'log');

  step = 'script message shown as text';
  // Quarantine: the <script> message is shown as text and runs nothing.
  await openPage(page, 'quarantine', () => document.querySelectorAll('#held-table tbody tr').length === 3);
  await page.click(`#held-table tr[data-id="${scriptId}"] .held-view`);
  await page.waitForFunction(() => document.getElementById('held-headers').textContent.includes('<script>'));
  const shown = await page.evaluate(() => ({
    title: document.getElementById('held-title').textContent,
    parts: document.getElementById('held-parts').textContent,
    elements: document.querySelectorAll('#held-detail script, #held-detail img').length,
    injected: window.kzInjected,
  }));
  assert.match(shown.title, /^<script>window.kzInjected = 1/);
  assert.ok(shown.parts.includes('onerror="window.kzInjected = 3"'), 'the HTML body is shown as text');
  assert.equal(shown.elements, 0);
  assert.equal(shown.injected, undefined);
  await shot(page, 'quarantine');

  step = 'forged POST';
  // A forged POST without the session's token is refused, and deletes nothing.
  const forged = await page.evaluate(async (id) => (await fetch(`/api/quarantine/${id}/delete`,
    { method: 'POST', credentials: 'same-origin' })).status, scriptId);
  assert.equal(forged, 403);
  assert.ok(readdirSync(join(demo, 'quarantine')).includes(scriptId));

  step = 'release from the page';
  // Release from the page, with confirmation: the message is back in its queue.
  const held = '3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A04.MAI';
  await page.click(`#held-table tr[data-id="${held}"] .held-view`);
  await page.waitForFunction(() => !document.getElementById('held-detail').hidden);
  await page.click('#held-release');
  await page.waitForSelector('#held-confirm', { visible: true });
  await page.click('#held-confirm-yes');
  await page.waitForFunction(() => document.getElementById('held-outcome').textContent !== '', { timeout: 60000 });
  assert.equal(await page.$eval('#held-outcome', (e) => e.textContent), 'Released.');
  await page.waitForFunction((id) => !document.querySelector(`#held-table tr[data-id="${id}"]`), {}, held);
  const inbound = join(demo, 'queue', 'SMTP', 'Inbound');
  const queued = readdirSync(join(inbound, 'Messages'))
    .filter((name) => readFileSync(join(inbound, 'Messages', name), 'latin1').includes('Subject: Invoice 4711'));
  assert.equal(queued.length, 1, 'the released message is queued once');
  assert.ok(readdirSync(inbound).includes(queued[0]), 'with its command file');
  assert.ok(!readdirSync(join(demo, 'quarantine')).includes(held));

  step = 'filters and health pages';
  await openPage(page, 'filters', () => document.querySelectorAll('#filters-table tbody tr').length > 0);
  // The filter that held the demo's mail has its hits and the hour of its last one.
  const rows = await page.$$eval('#filters-table tbody tr',
                                 (trs) => trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
  assert.ok(rows.some((r) => Number(r[3]) > 0 && /^\d{4}-\d\d-\d\d \d\d:00$/.test(r[4])), JSON.stringify(rows));
  assert.ok(rows.some((r) => r[3] === '0' && r[4] === 'never'), JSON.stringify(rows));
  await shot(page, 'filters');
  await openPage(page, 'health', () => document.querySelectorAll('#health-providers tbody tr').length > 0);
  const providers = await page.$$eval('#health-providers tbody tr', (trs) => trs.map((tr) => tr.cells[0].textContent));
  assert.ok(providers.includes('DNS server') && providers.includes('Bayesian'), providers.join(', '));
  assert.match(await page.$eval('#health-last', (e) => e.textContent), /\.MAI \(SMTP\), /);
  // The released message waits in the queue, counted once without its Messages folder.
  const queues = await page.$$eval('#health-queues tbody tr', (trs) => trs.map((tr) => tr.textContent));
  assert.deepEqual(queues, ['SMTP1']);
  await shot(page, 'health');

  step = 'wrong passwords';
  // A wrong password is refused, and repeated failures make even the right one wait.
  await page.click('#logout');
  for (let attempt = 0; attempt < 3; ++attempt) {
    await login(page, 'wrong password ' + attempt);
    await page.waitForFunction(() => document.getElementById('login-error').textContent === 'wrong password');
    assert.equal(await page.evaluate(() => document.getElementById('nav').hidden), true);
  }
  await login(page, password);
  await page.waitForFunction(() => document.getElementById('login-error').textContent.startsWith('too many failed logins'));

  assert.deepEqual(dialogs, [], 'no script of a message ran');
  assert.equal(await page.evaluate(() => window.kzInjected), undefined);
  console.log(`CSP reports: ${policyViolations.length}`);
}

async function finish(error) {
  clearTimeout(deadline);
  if (browser) await browser.close().catch(() => {});
  for (const child of children) child.kill('SIGTERM');
  rmSync(scratch, { recursive: true, force: true });
  if (error) {
    console.error(`Failed at: ${step}`);
    console.error(error);
    process.exit(1);
  }
  console.log('The console passed every browser check.');
  process.exit(0);
}

main().then(() => finish(), finish);
