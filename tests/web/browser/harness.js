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
const WORK = fs.mkdtempSync(path.join(require('node:os').tmpdir(), 'rastelle-web-'));
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

// The browser, and where the page is for each way of opening it.
async function start() {
  const server = http.createServer((request, response) => {
    const file = path.join(PAGE_DIR, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (!file.startsWith(PAGE_DIR) || !fs.statSync(file, { throwIfNoEntry: false })?.isFile()) return response.writeHead(404).end();
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const browser = await chromium.launch({ executablePath: process.env.RASTELLE_CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
  return {
    bases: { http: `http://127.0.0.1:${server.address().port}/index.html`, file: pathToFileURL(path.join(PAGE_DIR, 'index.html')).href },
    async stop() {
      await browser.close();
      server.close();
      fs.rmSync(WORK, { recursive: true, force: true });
    },
    // A page ready to convert; every request it makes is kept in `requests`.
    async open(base, hash = '', options = {}) {
      const page = await (await browser.newContext({ acceptDownloads: true, ...options })).newPage();
      page.requests = [];
      page.errors = [];
      page.on('request', (request) => page.requests.push(request.url()));
      page.on('pageerror', (error) => page.errors.push(error.message));
      await page.goto(base + (hash ? '#' + hash : ''));
      await idle(page);
      return page;
    },
  };
}

const idle = (page) => page.waitForFunction(() => document.body.dataset.state === 'idle');
// Opens the image and waits for the conversion it starts to end.
const convert = (page, file) => page.setInputFiles('#image-file', file).then(() => idle(page));

// What the page's Download (or another button) saves: its name and bytes.
async function download(page, button = '#download') {
  const [saved] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  return { name: saved.suggestedFilename(), bytes: fs.readFileSync(await saved.path()) };
}

// The native CLI run in the file's folder, so that its messages name the file as the page does.
function cli(args, file) {
  const run = spawnSync(CLI, args.concat(path.basename(file)), { cwd: path.dirname(file), maxBuffer: 1 << 30 });
  return { status: run.status, stdout: run.stdout, stderr: run.stderr.toString() };
}

// A fixture made by ImageMagick (formats the repository holds no sample of), or a plain PPM from
// rows of letters: K black, W white, G grey 128, M magenta.
function made(name, ...convertArgs) {
  const file = path.join(WORK, name);
  if (!fs.existsSync(file)) execFileSync('convert', [...convertArgs, file]);
  return file;
}
function ppm(name, rows) {
  const colours = { K: '0 0 0', W: '255 255 255', G: '128 128 128', M: '255 0 255' };
  fs.writeFileSync(path.join(WORK, name), `P3 ${rows[0].length} ${rows.length} 255\n` +
    rows.map((row) => [...row].map((letter) => colours[letter]).join(' ')).join('\n') + '\n');
  return path.join(WORK, name);
}

module.exports = { ROOT, CLI, WORK, start, convert, idle, download, cli, made, ppm };
