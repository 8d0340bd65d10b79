'use strict';
// The page as a user meets it: headless Chromium on the built page, served on 127.0.0.1 by a
// tiny static server or opened as a file; the native rastelle-cli as the oracle.
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { execFileSync, spawnSync } = require('node:child_process');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const ROOT = path.resolve(__dirname, '../../..');
const PAGE_DIR = path.resolve(ROOT, process.env.RASTELLE_WEB_PAGE || 'build/web/web/page');
const CLI = path.resolve(ROOT, process.env.RASTELLE_CLI || 'build/native/rastelle-cli');
const CHROMIUM = process.env.RASTELLE_CHROMIUM || '/usr/bin/chromium';
const WORK = fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'rastelle-web-'));

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
  '.png': 'image/png' };

function serve() {
  const server = http.createServer((request, response) => {
    const file = path.join(PAGE_DIR, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (!file.startsWith(PAGE_DIR) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The browser, and where the page is for each way of opening it.
async function start() {
  const server = await serve();
  const browser = await chromium.launch({ executablePath: CHROMIUM, args: ['--no-sandbox'] });
  const bases = {
    http: `http://127.0.0.1:${server.address().port}/index.html`,
    file: pathToFileURL(path.join(PAGE_DIR, 'index.html')).href,
  };
  return {
    bases,
    async stop() {
      await browser.close();
      server.close();
    },
    // A page ready to convert; every request it makes is kept in `requests`.
    async open(base, hash = '', options = {}) {
      const context = await browser.newContext({ acceptDownloads: true, ...options });
      const page = await context.newPage();
      page.requests = [];
      page.errors = [];
      page.on('request', (request) => page.requests.push(request.url()));
      page.on('pageerror', (error) => page.errors.push(error.message));
      await page.goto(base + (hash ? '#' + hash : ''));
      await page.waitForFunction(() => document.body.dataset.state === 'idle');
      return page;
    },
  };
}

// Opens the image and waits for the conversion it starts to end.
async function convert(page, file) {
  await page.setInputFiles('#image-file', file);
  await idle(page);
}

const idle = (page) => page.waitForFunction(() => document.body.dataset.state === 'idle');

// What the page's Download (or another button) saves: its name and bytes.
async function download(page, button = '#download') {
  const [saved] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  return { name: saved.suggestedFilename(), bytes: fs.readFileSync(await saved.path()) };
}

// The native CLI run in the file's folder, so that its messages name the file as the page does.
function cli(args, file) {
  const run = spawnSync(CLI, args.concat(path.basename(file)), { cwd: path.dirname(file) });
  return { status: run.status, stdout: run.stdout, stderr: run.stderr.toString() };
}

// Fixtures made by ImageMagick at the start (formats the repository holds no sample of).
function made(name, ...convertArgs) {
  const file = path.join(WORK, name);
  if (!fs.existsSync(file)) execFileSync('convert', [...convertArgs, file]);
  return file;
}

// A 24-bit BMP from rows of letters: K black, W white, G grey 128, M magenta.
function bmp(name, rows) {
  const colours = { K: [0, 0, 0], W: [255, 255, 255], G: [128, 128, 128], M: [255, 0, 255] };
  const width = rows[0].length;
  const stride = (width * 3 + 3) & ~3;
  const file = Buffer.alloc(54 + stride * rows.length);
  file.write('BM');
  file.writeUInt32LE(file.length, 2);
  file.writeUInt32LE(54, 10);
  file.writeUInt32LE(40, 14);
  file.writeInt32LE(width, 18);
  file.writeInt32LE(-rows.length, 22); // top-down
  file.writeUInt16LE(1, 26);
  file.writeUInt16LE(24, 28);
  rows.forEach((row, y) => [...row].forEach((letter, x) => {
    const [r, g, b] = colours[letter];
    file.set([b, g, r], 54 + y * stride + x * 3);
  }));
  const at = path.join(WORK, name);
  fs.writeFileSync(at, file);
  return at;
}

module.exports = { ROOT, CLI, WORK, start, convert, idle, download, cli, made, bmp };
