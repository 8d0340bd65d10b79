'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { test, before, after } = require('node:test');
const { ROOT, CLI, WORK, start, convert, idle, download, cli, made, ppm } = require('./harness');

const go = (page, hash) => page.evaluate((h) => { location.hash = h; }, hash);
const words = (text) => (text ? text.split(' ') : []);
let browser;
let files;
before(async () => {
  browser = await start();
  // Fixtures side by side in WORK, where the command line the page shows is run too.
  const fixture = (relative, file = path.join(WORK, path.basename(relative))) => (fs.copyFileSync(path.join(ROOT, relative), file), file);
  files = {
    ghost: fixture('docs/ghost.bmp'), gif: fixture('tests/fixtures/formats/good/animated-4-frames.gif'),
    photo: made('photo.jpg', '-size', '40x24', 'gradient:navy-orange', '-quality', '85'),
    alpha: made('alpha.png', '-size', '20x12', 'gradient:none-black'),
    truncated: fixture('tests/fixtures/formats/bad/png-truncated.png'),
    noFrame: fixture('tests/fixtures/formats/bad/gif-no-frame.gif'), notImage: fixture('README.md'),
  };
});
after(() => browser.stop());

// The CLI's options for the settings of an address: threshold=90&invert&output=--binary gives
// --threshold 90 --invert --binary.
const argsOf = (hash) => hash.split('&').filter(Boolean).flatMap((pair) => {
  const [key, value] = pair.split('=').map(decodeURIComponent);
  return key === 'output' ? [value] : value === undefined ? ['--' + key] : ['--' + key, value];
});

// Opens the image by the file field, or as a file dropped on the box or pasted.
async function give(page, file, how) {
  if (!how) return convert(page, file);
  await page.evaluate(([how, name, bytes]) => {
    const data = new DataTransfer();
    data.items.add(new File([new Uint8Array(bytes)], name, { type: 'image/' + name.split('.').pop() }));
    (how === 'drop' ? document.getElementById('drop') : document.body).dispatchEvent(how === 'drop'
      ? new DragEvent('drop', { dataTransfer: data, bubbles: true }) : new ClipboardEvent('paste', { clipboardData: data, bubbles: true }));
  }, [how, path.basename(file), [...fs.readFileSync(file)]]);
  await idle(page);
}

// The image, the settings in the address, Download's name, how the image comes. Every control's
// way into the arguments is in some row; that each option converts as the CLI does is the
// module's own test.
const CASES = [
  ['ghost', '', 'ghost.asm', 'paste'],
  ['ghost', 'threshold=90&dither=floyd-steinberg&invert&fill=ones&centre&width-unit=bytes&no-header&label=pic&per-line=1&syntax=zilog', 'ghost.asm'],
  ['photo', 'dither=ordered&syntax=ca65&radix=hex&comment&resize=x16', 'photo.s', 'drop'],
  ['alpha', 'mask=alpha&mask-layout=after&background=black&syntax=sdas', 'alpha.s'],
  ['alpha', 'dither=atkinson&mask=alpha&mask-bit=opaque&mask-layout=block&syntax=gas&crop=2,2,12,8&resize=24x10&fit=cover&rotate=90&flip=both&trim', 'alpha.s'],
  ['gif', 'frames=all&syntax=c&label-prefix=spr_', 'animated-4-frames.h'],
  ['ghost', 'layout=pages&bit-order=msb&cell=4x4&cell-order=columns&unique&mirror&attr-in-map&map-base=5&skip-empty&empty-index=3&symbols&syntax=acme', 'ghost.a'],
  // A file or setting the CLI refuses (no name): its words in the page, the text before gone.
  ['truncated', ''], ['noFrame', ''], ['notImage', ''], ['ghost', 'cell=5x5'], ['ghost', 'label=1st'], ['ghost', 'resize=30000x30000'],
  ['ghost', 'scale=3&target=u8g2', 'ghost.xbm'],
  ['ghost', 'target=adafruit-gfx&mask=%23FF00FF', 'ghost.h'],
  ['ghost', 'output=--binary&layout=strips', 'ghost.bin'],
  ['photo', 'output=--preview-full&invert', 'photo.txt'],
];

for (const way of ['http', 'file']) {
  test(`the page's text, Download and command line are the CLI's, the image opened, dropped or pasted; or its refusal (${way})`, async () => {
    const page = await browser.open(browser.bases[way]);
    for (const [file, hash, name, how] of CASES) {
      await go(page, hash);
      await give(page, files[file], how);
      const expected = cli(argsOf(hash), files[file]);
      if (!name) {
        assert.deepEqual([await page.textContent('#error'), await page.inputValue('#text'), await page.isDisabled('#download'), expected.status > 0],
          [expected.stderr.trimEnd(), '', true, true], `${file} #${hash}`);
        continue;
      }
      const saved = await download(page);
      assert.deepEqual([saved.name, saved.bytes.equals(expected.stdout), expected.status], [name, true, 0], hash);
      if (!hash.includes('binary')) assert.equal(await page.inputValue('#text'), expected.stdout.toString().replace(/\r\n/g, '\n'));
      // The command line shown, run by a shell, writes the same bytes.
      const command = await page.inputValue('#command');
      const out = execFileSync('sh', ['-c', command], { cwd: WORK, stdio: ['ignore', 'pipe', 'ignore'],
        env: { ...process.env, PATH: path.dirname(CLI) + ':' + process.env.PATH } });
      assert.ok((hash.includes('--preview') ? out : fs.readFileSync(path.join(WORK, name))).equals(expected.stdout), command);
    }
    assert.deepEqual(page.errors, []);
    // Nothing but the page's own files and its blobs; nothing kept in the browser's storage.
    const base = browser.bases[way].replace(/index\.html$/, '');
    assert.deepEqual(page.requests.filter((url) => !url.startsWith(base) && !url.startsWith('blob:')), []);
    assert.equal(await page.evaluate(() => localStorage.length + sessionStorage.length), 0);
  });
}

// The preview, a letter for what each pixel shows: P paper (white), I ink (dark), F fill of 0s (a
// light tint), J fill of 1s (a darker tint), T transparent (a grey of the checkerboard), | a cell border.
const kind = ([r, g, b]) => (r > 200 && g + b < 100 ? '|' : r === g && g === b ? (r === 255 ? 'P' : 'T')
  : r + g + b < 300 ? 'I' : r + g + b < 600 ? 'J' : 'F');

async function preview(page) {
  const { w, k, data } = await page.evaluate(() => {
    const canvas = document.getElementById('preview');
    const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    return { w: canvas.width, k: +canvas.dataset.scale, data: Array.from(data) };
  });
  const at = (x, y) => kind(data.slice((y * w + x) * 4, (y * w + x) * 4 + 3));
  // Each pixel's middle, then the border of cells a and b pixels across and down, if any.
  const rows = [...Array(data.length / 4 / w / k)].map((_, y) => [...Array(w / k)].map((__, x) => at(x * k + (k >> 1) + 1, y * k + (k >> 1) + 1)).join(''));
  return { rows, k, border: (a, b) => at(a * k, 1) + at(1, b * k) };
}

// 6 x 2: K W G M K W / W K M G W K (G is R+G+B = 384, a 1 from threshold 129 up), in rows of 8
// digits: 2 columns of fill; cells of 3 x 1 are 8 x 1 each.
const PREVIEWS = [
  ['', ['IPPPIPFF', 'PIPPPIFF']],
  ['threshold=129&fill=none', ['IPIPIP', 'PIPIPI']],
  ['mask=%23FF00FF&cell=3x1', ['IPPFFFFFTIPFFFFF', 'PITFFFFFPPIFFFFF'], '||'],
  ['fill=ones&centre&invert', ['JPIIIPIJ', 'JIPIIIPJ']],
];

test('the preview shows the digits laid out with their fill, the mask and the cells (dark theme)', async () => {
  const page = await browser.open(browser.bases.http, '', { colorScheme: 'dark' });
  const file = ppm('six.ppm', ['KWGMKW', 'WKMGWK']);
  for (const [hash, rows, border] of PREVIEWS) {
    await go(page, hash);
    await convert(page, file);
    const shown = await preview(page);
    assert.deepEqual([shown.rows, border && shown.border(8, 1), shown.k >= 4], [rows, border, true], hash);
  }
  // The same file chosen again, changed on disk, is read again.
  await convert(page, ppm('six.ppm', ['KKKKKK', 'WWWWWW']));
  assert.deepEqual((await preview(page)).rows, ['JPPPPPPJ', 'JIIIIIIJ']);
});

test('the preview follows the slider while it is dragged, the arrow keys move it, the address keeps it, Copy takes it', async () => {
  const page = await browser.open(browser.bases.http, '', { permissions: ['clipboard-read', 'clipboard-write'] });
  await convert(page, ppm('grey.ppm', ['KG']));
  assert.deepEqual((await preview(page)).rows, ['IPFFFFFF']);
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
  await page.focus('#opt-threshold');
  await page.keyboard.press('ArrowLeft');
  await convert(page, files.ghost);
  assert.equal(await page.inputValue('#opt-threshold-number'), '254');
  const expected = cli(['--threshold', '254'], files.ghost).stdout;
  await page.focus('#copy');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('copy').textContent !== 'Copy');
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), expected.toString());
  // A link to the address brings the settings back in a new page.
  assert.match(page.url(), /#threshold=254$/);
  const again = await browser.open(page.url());
  await convert(again, files.ghost);
  assert.ok((await download(again)).bytes.equals(expected));
});

// The way back: a text typed or opened (made by the CLI from options), the address's settings.
const BACK = [
  ['pasted.asm', '', '* by hand\nship:   .db 8,3\n        db  $3C\n        .byte %01111110  // binary\n        DEFB 255\n'],
  ['pages.asm', 'layout=pages', '--layout pages ghost.bmp'],
  ['masked.asm', 'mask=alpha&mask-layout=block&label=masked&size=20x12', '--mask alpha --mask-layout block --label masked alpha.png', '--size 20x12'],
  ['pasted.asm', '', '\t.db 8,2\n\t.db %1,%1\n'],
];

test('the way back: a text gives the CLI\'s picture, or its words', async () => {
  const page = await browser.open(browser.bases.file);
  for (const [name, hash, text, size = ''] of BACK) {
    const file = path.join(WORK, name);
    const typed = name === 'pasted.asm';
    fs.writeFileSync(file, typed ? text : execFileSync(CLI, words(text), { cwd: WORK }));
    await go(page, hash);
    await (typed ? page.fill('#back-text', text).then(() => page.click('#make-picture')) : page.setInputFiles('#text-file', file));
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
    assert.deepEqual([saved.name, saved.bytes.equals(fs.readFileSync(path.join(WORK, png))), await page.isVisible('#picture')], [png, true, true]);
  }
});

test('every option of --help has a labelled control; readable 320 pixels wide, light and dark', async () => {
  for (const colorScheme of ['light', 'dark']) {
    const page = await browser.open(browser.bases.http, 'cell=8x8', { viewport: { width: 320, height: 640 }, colorScheme });
    await convert(page, files.photo);
    const named = [...(await page.textContent('#help')).matchAll(/^ {2}(?:-o, )?(--[a-z][a-z-]*)/gm)].map((m) => m[1]);
    const { controls, unlabelled, wide, paper, ink } = await page.evaluate(() => ({
      controls: [...document.querySelectorAll('[data-options]')].flatMap((element) => element.dataset.options.split(' ')),
      unlabelled: [...document.querySelectorAll('input, select, textarea')].filter((c) =>
        ![...document.querySelectorAll(`label[for="${c.id}"]`)].some((l) => l.textContent.trim())).map((c) => c.id || c.outerHTML),
      wide: document.documentElement.scrollWidth,
      ...Object.fromEntries([['paper', 'backgroundColor'], ['ink', 'color']].map(([name, property]) =>
        [name, getComputedStyle(document.body)[property].match(/\d+/g).slice(0, 3).reduce((s, v) => s + +v, 0)])),
    }));
    assert.ok(named.length > 40, 'the options of --help, as the page shows it');
    assert.deepEqual([named.filter((option) => !['--output', '--help', '--version', ...controls].includes(option)), unlabelled], [[], []]);
    assert.ok(wide <= 320 && (colorScheme === 'dark' ? paper < 150 && ink > 500 : paper > 600 && ink < 150), colorScheme);
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
  console.log(`4096 x 4096 converted in ${took} ms; keypresses answered in ${Math.min(...times)} to ${Math.max(...times)} ms`);
  assert.ok(times.length > 0 && Math.max(...times) < 1000, 'a keypress answered within 1 s');
  assert.match(await page.textContent('#text-size'), /MiB/);
  // A newer setting while the big one's preview is made waits, and the older text never shows;
  // a newer image stops the big one, whose text never shows either.
  const sizes = () => page.evaluate(() => {
    const size = document.getElementById('text-size');
    window.sizes = [];
    new MutationObserver(() => sizes.push(size.textContent)).observe(size, { childList: true, subtree: true });
  });
  const at = (threshold) => 'dither=floyd-steinberg&comment&threshold=' + threshold;
  await go(page, at(100));
  await sizes();
  await go(page, at(101));
  await idle(page);
  assert.equal((await page.evaluate(() => sizes)).length, 1, 'one text shown');
  assert.ok((await download(page)).bytes.equals(cli(argsOf(at(101)), big).stdout));
  await go(page, at(102));
  await page.waitForFunction(() => document.body.dataset.state === 'busy');
  await sizes();
  await convert(page, files.ghost);
  assert.ok((await download(page)).bytes.equals(cli(argsOf(at(102)), files.ghost).stdout));
  await new Promise((resolve) => setTimeout(resolve, took));
  assert.deepEqual(await page.evaluate(() => sizes.filter((size) => /MiB/.test(size))), [], 'the older text showed');
});
