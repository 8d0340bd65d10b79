'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { test, before, after } = require('node:test');
const { ROOT, CLI, WORK, start, convert, idle, download, cli, made, bmp } = require('./harness');

// Fixtures copied beside each other into WORK, where the shown command line is run too.
const fixture = (relative) => {
  const file = path.join(WORK, path.basename(relative));
  fs.copyFileSync(path.join(ROOT, relative), file);
  return file;
};

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

// The settings as the address gives them, the same options for the CLI, and Download's name.
const CASES = [
  { file: 'ghost', hash: '', args: [], name: 'ghost.asm' },
  { file: 'ghost', hash: 'threshold=90&dither=floyd-steinberg&invert',
    args: ['--threshold', '90', '--dither', 'floyd-steinberg', '--invert'], name: 'ghost.asm' },
  { file: 'photo', hash: 'dither=ordered&syntax=ca65&radix=hex&comment',
    args: ['--dither', 'ordered', '--syntax', 'ca65', '--radix', 'hex', '--comment'], name: 'photo.s' },
  { file: 'alpha', hash: 'mask=alpha&mask-layout=after&background=black&syntax=sdas',
    args: ['--mask', 'alpha', '--mask-layout', 'after', '--background', 'black', '--syntax', 'sdas'],
    name: 'alpha.s' },
  { file: 'alpha', hash: 'dither=atkinson&mask=alpha&mask-bit=opaque&mask-layout=block&syntax=gas',
    args: ['--dither', 'atkinson', '--mask', 'alpha', '--mask-bit', 'opaque', '--mask-layout', 'block',
      '--syntax', 'gas'], name: 'alpha.s' },
  { file: 'gif', hash: 'frames=all&syntax=c&label-prefix=spr_',
    args: ['--frames', 'all', '--syntax', 'c', '--label-prefix', 'spr_'], name: 'animated-4-frames.h' },
  { file: 'pgm', hash: 'fill=ones&centre&width-unit=bytes&no-header&label=pic&per-line=1&syntax=zilog',
    args: ['--fill', 'ones', '--centre', '--width-unit', 'bytes', '--no-header', '--label', 'pic',
      '--per-line', '1', '--syntax', 'zilog'], name: 'grey-4bit.asm' },
  { file: 'ghost', hash: 'layout=pages&bit-order=msb&cell=8x8&cell-order=columns&skip-empty&syntax=intel',
    args: ['--layout', 'pages', '--bit-order', 'msb', '--cell', '8x8', '--cell-order', 'columns',
      '--skip-empty', '--syntax', 'intel'], name: 'ghost.asm' },
  { file: 'ghost', hash: 'cell=4x4&unique&mirror&attr-in-map&map-base=5&skip-empty&empty-index=3&symbols&syntax=acme',
    args: ['--cell', '4x4', '--unique', '--mirror', '--attr-in-map', '--map-base', '5', '--skip-empty',
      '--empty-index', '3', '--symbols', '--syntax', 'acme'], name: 'ghost.a' },
  { file: 'ghost', hash: 'crop=2,2,12,12&resize=24x10&fit=cover&rotate=90&flip=both&trim&syntax=gas',
    args: ['--crop', '2,2,12,12', '--resize', '24x10', '--fit', 'cover', '--rotate', '90', '--flip',
      'both', '--trim', '--syntax', 'gas'], name: 'ghost.s' },
  { file: 'ghost', hash: 'scale=3&target=u8g2', args: ['--scale', '3', '--target', 'u8g2'], name: 'ghost.xbm' },
  { file: 'ghost', hash: 'target=adafruit-gfx&mask=%23FF00FF',
    args: ['--target', 'adafruit-gfx', '--mask', '#FF00FF'], name: 'ghost.h' },
  { file: 'photo', hash: 'target=ssd1306&resize=x16', args: ['--target', 'ssd1306', '--resize', 'x16'],
    name: 'photo.asm' },
  { file: 'ghost', hash: 'output=--binary&layout=strips', args: ['--binary', '--layout', 'strips'],
    name: 'ghost.bin', binary: true },
  { file: 'ghost', hash: 'output=--preview&invert', args: ['--preview', '--invert'], name: 'ghost.txt' },
  { file: 'photo', hash: 'output=--preview-full', args: ['--preview-full'], name: 'photo.txt' },
];

for (const way of ['http', 'file']) {
  test(`the page's text, Download and command line are the CLI's (${way})`, async () => {
    const page = await browser.open(browser.bases[way]);
    for (const row of CASES) {
      const where = `${row.file} #${row.hash}`;
      await page.evaluate((hash) => { location.hash = hash; }, row.hash);
      await convert(page, files[row.file]);
      const expected = cli(row.args, files[row.file]);
      assert.equal(expected.status, 0, where + ': ' + expected.stderr);
      const saved = await download(page);
      assert.equal(saved.name, row.name, where);
      assert.ok(saved.bytes.equals(expected.stdout), where + ': Download differs from the CLI');
      if (!row.binary) {
        const text = expected.stdout.toString('utf8').replace(/\r\n/g, '\n');
        assert.equal(await page.inputValue('#text'), text, where);
      }
      // The command line shown, run in a shell, writes the same bytes.
      const command = await page.inputValue('#command');
      const out = execFileSync('sh', ['-c', command], { cwd: WORK,
        env: { ...process.env, PATH: path.dirname(CLI) + ':' + process.env.PATH }, stdio: ['ignore', 'pipe', 'ignore'] });
      const written = row.args[0] === '--preview' || row.args[0] === '--preview-full'
        ? out : fs.readFileSync(path.join(WORK, row.name));
      assert.ok(written.equals(expected.stdout), where + ': the command line ' + command + ' differs');
    }
    assert.deepEqual(page.errors, []);
    // Nothing but the page's own files and its blobs; nothing kept in the browser's storage.
    const base = browser.bases[way].replace(/index\.html$/, '');
    assert.deepEqual(page.requests.filter((url) => !url.startsWith(base) && !url.startsWith('blob:')), []);
    assert.equal(await page.evaluate(() => localStorage.length + sessionStorage.length), 0);
  });
}

// The preview's pixel under each digit: I a 1, P a 0, T transparent; red lines between cells.
const kind = ([r, g, b]) => (r === 255 && g === 255 && b === 255 ? 'P'
  : r === g && g === b && r > 150 ? 'T' : b > r + 40 && r + g + b < 300 ? 'I'
    : r > 200 && g < 60 && b < 60 ? 'line' : `rgb(${r},${g},${b})`);

async function previewPixels(page, width, height) {
  const picture = await page.evaluate(() => {
    const canvas = document.getElementById('preview');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    return { width: canvas.width, height: canvas.height, scale: +canvas.dataset.scale, data: Array.from(data) };
  });
  const { scale } = picture;
  assert.deepEqual([picture.width, picture.height], [width * scale, height * scale]);
  const at = (x, y) => picture.data.slice((y * picture.width + x) * 4, (y * picture.width + x) * 4 + 3);
  const rows = [];
  for (let y = 0; y < height; ++y) {
    let row = '';
    for (let x = 0; x < width; ++x) row += kind(at(x * scale + (scale >> 1) + 1, y * scale + (scale >> 1) + 1));
    rows.push(row);
  }
  return { rows, scale, at };
}

// 6 x 2: K W G M K W / W K M G W K (G is R+G+B = 384, 1 from threshold 129 up).
const PREVIEWS = [
  { hash: '', rows: ['IPPPIP', 'PIPPPI'] },
  { hash: 'threshold=129', rows: ['IPIPIP', 'PIPIPI'] },
  { hash: 'mask=%23FF00FF&cell=3x1', rows: ['IPPTIP', 'PITPPI'], lines: { x: [3], y: [1] } },
  { hash: 'rotate=90&invert', rows: ['IP', 'PI', 'II', 'II', 'IP', 'PI'] },
];

test('the preview shows the digits, the mask and the cells', async () => {
  const page = await browser.open(browser.bases.http);
  const file = bmp('six.bmp', ['KWGMKW', 'WKMGWK']);
  for (const row of PREVIEWS) {
    await page.evaluate((hash) => { location.hash = hash; }, row.hash);
    await convert(page, file);
    const shown = await previewPixels(page, row.rows[0].length, row.rows.length);
    assert.deepEqual(shown.rows, row.rows, row.hash);
    assert.ok(shown.scale >= 4, 'whole-number scaling of a small picture');
    for (const x of (row.lines || {}).x || []) assert.equal(kind(shown.at(x * shown.scale, 1)), 'line', row.hash);
    for (const y of (row.lines || {}).y || []) assert.equal(kind(shown.at(1, y * shown.scale)), 'line', row.hash);
  }
});

test('the preview follows the slider while it is dragged, and the address keeps it', async () => {
  const page = await browser.open(browser.bases.http);
  await convert(page, bmp('grey.bmp', ['KG']));
  assert.deepEqual((await previewPixels(page, 2, 1)).rows, ['IP']);
  const slider = await page.locator('#opt-threshold').boundingBox();
  await page.mouse.move(slider.x + slider.width / 2, slider.y + slider.height / 2);
  await page.mouse.down();
  await page.mouse.move(slider.x + slider.width - 2, slider.y + slider.height / 2, { steps: 5 });
  // The button is still down: the preview must have followed already.
  await page.waitForFunction(() => {
    const canvas = document.getElementById('preview');
    const k = +canvas.dataset.scale;
    return canvas.getContext('2d').getImageData(k + (k >> 1), k >> 1, 1, 1).data[0] !== 255;
  }, null, { timeout: 10000 });
  await page.mouse.up();
  await idle(page);
  assert.equal(await page.inputValue('#opt-threshold-number'), '255');
  // A link to the address reproduces the settings in a new page.
  const link = page.url();
  assert.match(link, /#threshold=255$/);
  const again = await browser.open(link);
  assert.equal(await again.inputValue('#opt-threshold'), '255');
  await convert(again, files.ghost);
  assert.ok((await download(again)).bytes.equals(cli(['--threshold', '255'], files.ghost).stdout));
});

// The text back to a picture: typed or opened, read with the options of the page.
const BACK = [
  { how: 'typed', hash: '', name: 'pasted.asm',
    text: '* a sprite, by hand\nship:   .db 8,3\n        db  $3C\n        .byte %01111110  // binary\n        DEFB 255\n' },
  { how: 'file', hash: 'layout=pages', name: 'pages.asm', from: ['--layout', 'pages', 'ghost.bmp'] },
  { how: 'file', hash: 'mask=alpha&mask-layout=block&label=masked&size=20x12', name: 'masked.asm',
    from: ['--mask', 'alpha', '--mask-layout', 'block', '--label', 'masked', 'alpha.png'],
    size: ['--size', '20x12'] },
  { how: 'typed', hash: '', name: 'pasted.asm', text: '\t.db 8,2\n\t.db %1,%1\n', error: true },
];

test('the way back: a text gives the CLI\'s picture, or its words', async () => {
  const page = await browser.open(browser.bases.file);
  for (const row of BACK) {
    const file = path.join(WORK, row.name);
    if (row.text) fs.writeFileSync(file, row.text);
    else fs.writeFileSync(file, execFileSync(CLI, row.from, { cwd: WORK }));
    await page.evaluate((hash) => { location.hash = hash; }, row.hash);
    if (row.how === 'typed') {
      await page.fill('#back-text', row.text);
      await page.click('#make-picture');
    } else {
      await page.setInputFiles('#text-file', file);
    }
    await idle(page);
    const args = ['--reverse', ...(row.from || []).slice(0, -1), ...(row.size || []),
      '-o', row.name.replace('.asm', '.png')];
    const expected = cli(args, file);
    if (row.error) {
      assert.notEqual(expected.status, 0);
      assert.equal(await page.textContent('#back-error'), expected.stderr.trimEnd());
      assert.ok(await page.isDisabled('#download-picture'));
      continue;
    }
    assert.equal(expected.status, 0, expected.stderr);
    const saved = await download(page, '#download-picture');
    assert.equal(saved.name, row.name.replace('.asm', '.png'));
    assert.ok(saved.bytes.equals(fs.readFileSync(path.join(WORK, saved.name))), row.name);
    assert.ok(await page.isVisible('#picture'));
  }
});

// A file or setting the CLI refuses: its words in the page, no text, nothing to download.
const REFUSED = [
  { file: 'truncated', hash: '' },
  { file: 'noFrame', hash: '' },
  { file: 'notImage', hash: '' },
  { file: 'ghost', hash: 'cell=5x5', args: ['--cell', '5x5'] },
  { file: 'ghost', hash: 'label=1st', args: ['--label', '1st'] },
  { file: 'ghost', hash: 'resize=30000x30000', args: ['--resize', '30000x30000'] },
];

test('bad files and settings show the CLI\'s words and no text', async () => {
  const page = await browser.open(browser.bases.http);
  for (const row of REFUSED) {
    await page.evaluate(() => { location.hash = ''; });
    await convert(page, files.ghost); // a text to replace
    await page.evaluate((hash) => { location.hash = hash; }, row.hash);
    await convert(page, files[row.file]);
    const expected = cli(row.args || [], files[row.file]);
    assert.notEqual(expected.status, 0, row.file);
    assert.equal(await page.textContent('#error'), expected.stderr.trimEnd(), row.file + ' #' + row.hash);
    assert.equal(await page.inputValue('#text'), '');
    assert.ok(await page.isDisabled('#download'));
  }
});

test('every option of --help has a labelled control that the keyboard reaches', async () => {
  const page = await browser.open(browser.bases.http, '', { permissions: ['clipboard-read', 'clipboard-write'] });
  const help = await page.textContent('#help');
  const named = [...help.matchAll(/^ {2}(?:-o, )?(--[a-z][a-z-]*)/gm)].map((m) => m[1]);
  assert.ok(named.length > 40, 'the options of --help, read from the page');
  const controls = await page.evaluate(() => [...document.querySelectorAll('[data-options]')]
    .flatMap((element) => element.dataset.options.split(' ')));
  const aside = ['--output', '--help', '--version'];
  assert.deepEqual(named.filter((option) => !aside.includes(option) && !controls.includes(option)), []);
  const unlabelled = await page.evaluate(() => [...document.querySelectorAll('input, select, textarea')]
    .filter((c) => ![...document.querySelectorAll(`label[for="${c.id}"]`)].some((l) => l.textContent.trim()))
    .map((c) => c.id || c.outerHTML));
  assert.deepEqual(unlabelled, []);
  const reached = new Set();
  for (let i = 0; i < 120; ++i) {
    await page.keyboard.press('Tab');
    reached.add(await page.evaluate(() => document.activeElement.id));
  }
  const all = await page.evaluate(() => [...document.querySelectorAll('input, select, textarea, button')]
    .filter((c) => !c.disabled).map((c) => c.id));
  assert.deepEqual(all.filter((id) => !reached.has(id)), []);
  // The keyboard alone converts: the slider takes the arrow keys.
  await convert(page, files.ghost);
  await page.focus('#opt-threshold');
  await page.keyboard.press('ArrowLeft');
  await idle(page);
  const expected = cli(['--threshold', '127'], files.ghost).stdout;
  assert.ok((await download(page)).bytes.equals(expected));
  // Copy takes the whole text, line ends and all.
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
    const [paper, ink] = await page.evaluate(() => [getComputedStyle(document.body).backgroundColor,
      getComputedStyle(document.body).color].map((c) => c.match(/\d+/g).slice(0, 3).reduce((s, v) => s + +v, 0)));
    assert.ok(colorScheme === 'dark' ? paper < 150 && ink > 500 : paper > 600 && ink < 150, colorScheme);
  }
});

test('the page answers while a 4096 x 4096 picture converts, and a newer image replaces it', async () => {
  const big = made('big.png', '-size', '4096x4096', 'gradient:white-black', '-depth', '8');
  const page = await browser.open(browser.bases.http, 'dither=floyd-steinberg&comment');
  // The page's own thread: the longest it was kept from its event loop while converting.
  await page.evaluate(() => {
    window.longest = 0;
    let last = performance.now();
    (function tick() {
      const now = performance.now();
      if (document.body.dataset.state === 'busy') window.longest = Math.max(window.longest, now - last);
      last = now;
      setTimeout(tick, 0);
    }());
  });
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
  const longest = await page.evaluate(() => Math.round(window.longest));
  console.log(`4096 x 4096 converted in ${took} ms; ${times.length} keypresses answered in ` +
    `${Math.min(...times)} to ${Math.max(...times)} ms; the page's thread held at most ${longest} ms`);
  assert.ok(times.length > 0 && Math.max(...times) < 1000, 'a keypress answered within 1 s');
  assert.match(await page.textContent('#text-size'), /MiB/);

  // Converting it again, then a small image, at once (it waits) or later (it stops the big one):
  // the small one's text shows, the big one's never does.
  for (const [threshold, delay] of [[100, 0], [101, 400]]) {
    await convert(page, big);
    await page.evaluate((t) => { location.hash = 'dither=floyd-steinberg&comment&threshold=' + t; }, threshold);
    await page.waitForFunction(() => document.body.dataset.state === 'busy');
    await new Promise((resolve) => setTimeout(resolve, delay));
    await page.evaluate(() => {
      window.sizes = [];
      new MutationObserver(() => window.sizes.push(document.getElementById('text-size').textContent))
        .observe(document.getElementById('text-size'), { childList: true, characterData: true, subtree: true });
    });
    await convert(page, files.ghost);
    const expected = cli(['--dither', 'floyd-steinberg', '--comment', '--threshold', String(threshold)], files.ghost);
    assert.ok((await download(page)).bytes.equals(expected.stdout), `${threshold}`);
    await new Promise((resolve) => setTimeout(resolve, took));
    assert.deepEqual(await page.evaluate(() => window.sizes.filter((size) => /MiB/.test(size))), [], 'the older text showed');
  }
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
