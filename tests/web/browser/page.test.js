'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { test, before, after } = require('node:test');
const { ROOT, CLI, WORK, start, convert, idle, download, cli, made, ppm } = require('./harness');

// Fixtures side by side in WORK, where the command line the page shows is run too.
const fixture = (relative) => {
  const file = path.join(WORK, path.basename(relative));
  fs.copyFileSync(path.join(ROOT, relative), file);
  return file;
};
const go = (page, hash) => page.evaluate((h) => { location.hash = h; }, hash);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

let browser;
let files;
before(async () => {
  browser = await start();
  files = {
    ghost: fixture('docs/ghost.bmp'),
    gif: fixture('tests/fixtures/formats/good/animated-4-frames.gif'),
    pgm: fixture('tests/fixtures/formats/good/grey-4bit.pgm'),
    photo: made('photo.jpg', '-size', '40x24', 'gradient:navy-orange', '-quality', '85'),
    alpha: made('alpha.png', '-size', '20x12', 'gradient:none-black'),
    truncated: fixture('tests/fixtures/formats/bad/png-truncated.png'),
    noFrame: fixture('tests/fixtures/formats/bad/gif-no-frame.gif'),
    notImage: fixture('README.md'),
  };
});
after(() => browser.stop());

// The image, the settings as the address gives them, the same options for the CLI, Download's name.
const CASES = [
  ['ghost', '', '', 'ghost.asm'],
  ['ghost', 'threshold=90&dither=floyd-steinberg&invert', '--threshold 90 --dither floyd-steinberg --invert', 'ghost.asm'],
  ['photo', 'dither=ordered&syntax=ca65&radix=hex&comment', '--dither ordered --syntax ca65 --radix hex --comment', 'photo.s'],
  ['alpha', 'mask=alpha&mask-layout=after&background=black&syntax=sdas',
    '--mask alpha --mask-layout after --background black --syntax sdas', 'alpha.s'],
  ['alpha', 'dither=atkinson&mask=alpha&mask-bit=opaque&mask-layout=block&syntax=gas',
    '--dither atkinson --mask alpha --mask-bit opaque --mask-layout block --syntax gas', 'alpha.s'],
  ['gif', 'frames=all&syntax=c&label-prefix=spr_', '--frames all --syntax c --label-prefix spr_', 'animated-4-frames.h'],
  ['pgm', 'fill=ones&centre&width-unit=bytes&no-header&label=pic&per-line=1&syntax=zilog',
    '--fill ones --centre --width-unit bytes --no-header --label pic --per-line 1 --syntax zilog', 'grey-4bit.asm'],
  ['ghost', 'layout=pages&bit-order=msb&cell=8x8&cell-order=columns&skip-empty&syntax=intel',
    '--layout pages --bit-order msb --cell 8x8 --cell-order columns --skip-empty --syntax intel', 'ghost.asm'],
  ['ghost', 'cell=4x4&unique&mirror&attr-in-map&map-base=5&skip-empty&empty-index=3&symbols&syntax=acme',
    '--cell 4x4 --unique --mirror --attr-in-map --map-base 5 --skip-empty --empty-index 3 --symbols --syntax acme', 'ghost.a'],
  ['ghost', 'crop=2,2,12,12&resize=24x10&fit=cover&rotate=90&flip=both&trim&syntax=gas',
    '--crop 2,2,12,12 --resize 24x10 --fit cover --rotate 90 --flip both --trim --syntax gas', 'ghost.s'],
  ['ghost', 'scale=3&target=u8g2', '--scale 3 --target u8g2', 'ghost.xbm'],
  ['ghost', 'target=adafruit-gfx&mask=%23FF00FF', '--target adafruit-gfx --mask #FF00FF', 'ghost.h'],
  ['photo', 'target=ssd1306&resize=x16', '--target ssd1306 --resize x16', 'photo.asm'],
  ['ghost', 'output=--binary&layout=strips', '--binary --layout strips', 'ghost.bin'],
  ['ghost', 'output=--preview&invert', '--preview --invert', 'ghost.txt'],
  ['photo', 'output=--preview-full', '--preview-full', 'photo.txt'],
];
const words = (text) => (text ? text.split(' ') : []);

for (const way of ['http', 'file']) {
  test(`the page's text, Download and command line are the CLI's (${way})`, async () => {
    const page = await browser.open(browser.bases[way]);
    for (const [file, hash, args, name] of CASES) {
      await go(page, hash);
      await convert(page, files[file]);
      const expected = cli(words(args), files[file]);
      assert.equal(expected.status, 0, hash + ': ' + expected.stderr);
      const saved = await download(page);
      assert.equal(saved.name, name, hash);
      assert.ok(saved.bytes.equals(expected.stdout), hash + ': Download differs from the CLI');
      if (!args.includes('--binary')) {
        assert.equal(await page.inputValue('#text'), expected.stdout.toString().replace(/\r\n/g, '\n'), hash);
      }
      // The command line shown, run by a shell, writes the same bytes.
      const command = await page.inputValue('#command');
      const out = execFileSync('sh', ['-c', command], { cwd: WORK, stdio: ['ignore', 'pipe', 'ignore'],
        env: { ...process.env, PATH: path.dirname(CLI) + ':' + process.env.PATH } });
      const written = args.startsWith('--preview') ? out : fs.readFileSync(path.join(WORK, name));
      assert.ok(written.equals(expected.stdout), `${command} differs`);
    }
    assert.deepEqual(page.errors, []);
    // Nothing but the page's own files and its blobs; nothing kept in the browser's storage.
    const base = browser.bases[way].replace(/index\.html$/, '');
    assert.deepEqual(page.requests.filter((url) => !url.startsWith(base) && !url.startsWith('blob:')), []);
    assert.equal(await page.evaluate(() => localStorage.length + sessionStorage.length), 0);
  });
}

// The preview: under each digit I for a 1, P for a 0, T for transparent; red lines between cells.
const kind = ([r, g, b]) => (r + g + b === 765 ? 'P' : r === g && g === b && r > 150 ? 'T'
  : b > r + 40 && r + g + b < 300 ? 'I' : r > 200 && g + b < 100 ? 'line' : `rgb(${r},${g},${b})`);

async function preview(page, width, height) {
  const { w, h, k, data } = await page.evaluate(() => {
    const canvas = document.getElementById('preview');
    const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    return { w: canvas.width, h: canvas.height, k: +canvas.dataset.scale, data: Array.from(data) };
  });
  assert.deepEqual([w, h], [width * k, height * k], 'whole screen pixels a digit');
  const at = (x, y) => kind(data.slice((y * w + x) * 4, (y * w + x) * 4 + 3));
  const rows = [...Array(height)].map((_, y) =>
    [...Array(width)].map((__, x) => at(x * k + (k >> 1) + 1, y * k + (k >> 1) + 1)).join(''));
  return { rows, k, at };
}

// 6 x 2: K W G M K W / W K M G W K (G is R+G+B = 384, a 1 from threshold 129 up).
const PREVIEWS = [
  ['', ['IPPPIP', 'PIPPPI']],
  ['threshold=129', ['IPIPIP', 'PIPIPI']],
  ['mask=%23FF00FF&cell=3x1', ['IPPTIP', 'PITPPI'], [3], [1]],
  ['rotate=90&invert', ['IP', 'PI', 'II', 'II', 'IP', 'PI']],
];

test('the preview shows the digits, the mask and the cells', async () => {
  const page = await browser.open(browser.bases.http);
  const file = ppm('six.ppm', ['KWGMKW', 'WKMGWK']);
  for (const [hash, rows, across = [], down = []] of PREVIEWS) {
    await go(page, hash);
    await convert(page, file);
    const shown = await preview(page, rows[0].length, rows.length);
    assert.deepEqual(shown.rows, rows, hash);
    assert.ok(shown.k >= 4, 'a small picture enlarged');
    for (const x of across) assert.equal(shown.at(x * shown.k, 1), 'line', hash);
    for (const y of down) assert.equal(shown.at(1, y * shown.k), 'line', hash);
  }
  // The same file chosen again, changed on disk, is read again (still turned and inverted).
  await convert(page, ppm('six.ppm', ['WWWWWW', 'WWWWWW']));
  assert.deepEqual((await preview(page, 2, 6)).rows, Array(6).fill('II'));
});

test('the preview follows the slider while it is dragged, and the address keeps it', async () => {
  const page = await browser.open(browser.bases.http);
  await convert(page, ppm('grey.ppm', ['KG']));
  assert.deepEqual((await preview(page, 2, 1)).rows, ['IP']);
  const slider = await page.locator('#opt-threshold').boundingBox();
  await page.mouse.move(slider.x + slider.width / 2, slider.y + slider.height / 2);
  await page.mouse.down();
  await page.mouse.move(slider.x + slider.width - 2, slider.y + slider.height / 2, { steps: 5 });
  // The button is still down: the preview has followed already.
  await page.waitForFunction(() => {
    const canvas = document.getElementById('preview');
    const k = +canvas.dataset.scale;
    return canvas.getContext('2d').getImageData(k + (k >> 1), k >> 1, 1, 1).data[0] !== 255;
  }, null, { timeout: 10000 });
  await page.mouse.up();
  await idle(page);
  assert.equal(await page.inputValue('#opt-threshold-number'), '255');
  // A link to the address brings the settings back in a new page.
  assert.match(page.url(), /#threshold=255$/);
  const again = await browser.open(page.url());
  await convert(again, files.ghost);
  assert.ok((await download(again)).bytes.equals(cli(['--threshold', '255'], files.ghost).stdout));
});

// The way back: a text typed or opened (made by the CLI from options), the address's settings.
const BACK = [
  ['pasted.asm', '', '* by hand\nship:   .db 8,3\n        db  $3C\n        .byte %01111110  // binary\n        DEFB 255\n'],
  ['pages.asm', 'layout=pages', '--layout pages ghost.bmp'],
  ['masked.asm', 'mask=alpha&mask-layout=block&label=masked&size=20x12',
    '--mask alpha --mask-layout block --label masked alpha.png', '--size 20x12'],
  ['pasted.asm', '', '\t.db 8,2\n\t.db %1,%1\n'],
];

test('the way back: a text gives the CLI\'s picture, or its words', async () => {
  const page = await browser.open(browser.bases.file);
  for (const [name, hash, text, size = ''] of BACK) {
    const file = path.join(WORK, name);
    const typed = name === 'pasted.asm';
    fs.writeFileSync(file, typed ? text : execFileSync(CLI, words(text), { cwd: WORK }));
    await go(page, hash);
    if (typed) {
      await page.fill('#back-text', text);
      await page.click('#make-picture');
    } else {
      await page.setInputFiles('#text-file', file);
    }
    await idle(page);
    const png = name.replace('.asm', '.png');
    const expected = cli(['--reverse', ...(typed ? [] : words(text).slice(0, -1)), ...words(size), '-o', png], file);
    if (expected.status !== 0) {
      assert.match(expected.stderr, /pasted.asm:2: /);
      assert.equal(await page.textContent('#back-error'), expected.stderr.trimEnd());
      assert.ok(await page.isDisabled('#download-picture'));
      continue;
    }
    const saved = await download(page, '#download-picture');
    assert.equal(saved.name, png);
    assert.ok(saved.bytes.equals(fs.readFileSync(path.join(WORK, png))), name);
    assert.ok(await page.isVisible('#picture'));
  }
});

// A file or setting the CLI refuses: its words in the page, no text, nothing to download.
const REFUSED = [['truncated', ''], ['noFrame', ''], ['notImage', ''], ['ghost', 'cell=5x5', '--cell 5x5'],
  ['ghost', 'label=1st', '--label 1st'], ['ghost', 'resize=30000x30000', '--resize 30000x30000']];

test('bad files and settings show the CLI\'s words and no text', async () => {
  const page = await browser.open(browser.bases.http);
  for (const [file, hash, args = ''] of REFUSED) {
    await go(page, '');
    await convert(page, files.ghost); // a text to replace
    await go(page, hash);
    await convert(page, files[file]);
    const expected = cli(words(args), files[file]);
    assert.notEqual(expected.status, 0, file);
    assert.equal(await page.textContent('#error'), expected.stderr.trimEnd(), `${file} #${hash}`);
    assert.equal(await page.inputValue('#text'), '');
    assert.ok(await page.isDisabled('#download'));
  }
});

test('every option of --help has a labelled control; the keyboard converts and copies', async () => {
  const page = await browser.open(browser.bases.http, '', { permissions: ['clipboard-read', 'clipboard-write'] });
  const named = [...(await page.textContent('#help')).matchAll(/^ {2}(?:-o, )?(--[a-z][a-z-]*)/gm)].map((m) => m[1]);
  assert.ok(named.length > 40, 'the options of --help, as the page shows it');
  const controls = await page.evaluate(() => [...document.querySelectorAll('[data-options]')]
    .flatMap((element) => element.dataset.options.split(' ')));
  const aside = ['--output', '--help', '--version'];
  assert.deepEqual(named.filter((option) => !aside.includes(option) && !controls.includes(option)), []);
  const unlabelled = await page.evaluate(() => [...document.querySelectorAll('input, select, textarea')]
    .filter((c) => ![...document.querySelectorAll(`label[for="${c.id}"]`)].some((l) => l.textContent.trim()))
    .map((c) => c.id || c.outerHTML));
  assert.deepEqual(unlabelled, []);
  // The keyboard alone converts and copies: the slider takes the arrow keys, Copy the whole text.
  await convert(page, files.ghost);
  await page.focus('#opt-threshold');
  await page.keyboard.press('ArrowLeft');
  await idle(page);
  const expected = cli(['--threshold', '127'], files.ghost).stdout;
  assert.ok((await download(page)).bytes.equals(expected));
  await page.focus('#copy');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('copy').textContent !== 'Copy');
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), expected.toString());
});

test('readable 320 pixels wide and in a dark theme', async () => {
  for (const colorScheme of ['light', 'dark']) {
    const page = await browser.open(browser.bases.http, 'cell=8x8', { viewport: { width: 320, height: 640 }, colorScheme });
    await convert(page, files.photo);
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= 320), colorScheme);
    const [paper, ink] = await page.evaluate(() => ['backgroundColor', 'color'].map((property) =>
      getComputedStyle(document.body)[property].match(/\d+/g).slice(0, 3).reduce((s, v) => s + +v, 0)));
    assert.ok(colorScheme === 'dark' ? paper < 150 && ink > 500 : paper > 600 && ink < 150, colorScheme);
  }
});

test('the page answers while a 4096 x 4096 picture converts, and a newer image replaces it', async () => {
  const big = made('big.png', '-size', '4096x4096', 'gradient:white-black', '-depth', '8');
  const page = await browser.open(browser.bases.http, 'dither=floyd-steinberg&comment');
  await page.focus('#back-text');
  const started = Date.now();
  await page.setInputFiles('#image-file', big);
  const times = [];
  while (await page.evaluate(() => document.body.dataset.state === 'busy')) {
    const start = Date.now();
    await page.keyboard.press('a');
    await page.waitForFunction((n) => document.getElementById('back-text').value.length === n, times.length + 1);
    times.push(Date.now() - start);
  }
  const took = Date.now() - started;
  console.log(`4096 x 4096 converted in ${took} ms; ${times.length} keypresses answered in ${Math.min(...times)} ` +
    `to ${Math.max(...times)} ms`);
  assert.ok(times.length > 0 && Math.max(...times) < 1000, 'a keypress answered within 1 s');
  assert.match(await page.textContent('#text-size'), /MiB/);
  // A newer setting while the big one's preview is made waits, and the older text never shows;
  // a newer image stops the big one, whose text never shows either.
  const sizes = () => page.evaluate(() => {
    const size = document.getElementById('text-size');
    window.sizes = [];
    new MutationObserver(() => sizes.push(size.textContent)).observe(size, { childList: true, subtree: true });
  });
  await go(page, 'dither=floyd-steinberg&comment&threshold=100');
  await sizes();
  await go(page, 'dither=floyd-steinberg&comment&threshold=101');
  await idle(page);
  assert.equal((await page.evaluate(() => sizes)).length, 1, 'one text shown');
  const args = ['--dither', 'floyd-steinberg', '--comment', '--threshold', '101'];
  assert.ok((await download(page)).bytes.equals(cli(args, big).stdout));
  await go(page, 'dither=floyd-steinberg&comment&threshold=102');
  await page.waitForFunction(() => document.body.dataset.state === 'busy');
  await sizes();
  const opened = Date.now();
  await convert(page, files.ghost);
  console.log(`a small image opened during it converted in ${Date.now() - opened} ms`);
  assert.ok((await download(page)).bytes.equals(cli(args.slice(0, -1).concat('102'), files.ghost).stdout));
  await sleep(took);
  assert.deepEqual(await page.evaluate(() => sizes.filter((size) => /MiB/.test(size))), [], 'the older text showed');
});

test('an image dropped on the box or pasted is converted as one opened', async () => {
  const page = await browser.open(browser.bases.http);
  for (const [how, file, type] of [['drop', files.photo, 'image/jpeg'], ['paste', files.ghost, 'image/bmp']]) {
    await page.evaluate(([how, name, type, bytes]) => {
      const data = new DataTransfer();
      data.items.add(new File([new Uint8Array(bytes)], name, { type }));
      const event = how === 'drop' ? new DragEvent('drop', { dataTransfer: data, bubbles: true })
        : new ClipboardEvent('paste', { clipboardData: data, bubbles: true });
      (how === 'drop' ? document.getElementById('drop') : document.body).dispatchEvent(event);
    }, [how, path.basename(file), type, [...fs.readFileSync(file)]]);
    await idle(page);
    const saved = await download(page);
    assert.equal(saved.name, path.basename(file).replace(/\.\w+$/, '.asm'), how);
    assert.ok(saved.bytes.equals(cli([], file).stdout), how);
  }
});
