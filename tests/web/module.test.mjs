// The web module (RASTELLE_WEB_MODULE) against the host's rastelle-cli (RASTELLE_NATIVE_CLI): the
// same stdout, files, status and stderr for fixtures under every kind of option, bad files, help;
// and preview() against a picture worked by hand (its refusals are the page's, in the browser tests).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { test } from 'node:test';

const top = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const cli = process.env.RASTELLE_NATIVE_CLI;
assert.ok(cli && fs.existsSync(cli), `no host rastelle-cli at "${cli}": build the native preset first`);
const rastelle = await createRequire(import.meta.url)(process.env.RASTELLE_WEB_MODULE)();
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'rastelle-web-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));
// JPEGs of every kind the decoder takes, and damaged ones, made by Debian's tools.
assert.equal(spawnSync('python3', [`${top}/tests/fixtures/make_jpegs.py`, `${work}/jpegs`]).status, 0);

const words = (text) => text.trim().split(/\s+/).filter(Boolean);
const files = (folder, names) => words(names).map((name) => path.join(folder, name));
const listed = (folder) => fs.readdirSync(folder).map((name) => path.join(folder, name));
const fixtures = [`${top}/docs/ghost.bmp`,
  ...files(`${top}/tests/fixtures/good`, 'mono-1bpp-checker-13x5.bmp rgb24-bottom-up-5x3.bmp rle8-5x3.bmp grey-4bpp-7x3.bmp'),
  ...files(`${top}/tests/fixtures/formats/good`, `animated-4-frames.gif rgba-8bit.png grey-4bit-trns.png
    palette-8bit-trns.png rgb555.tga rgb-16bit.ppm grey-4bit.pgm plain-comment.pbm transparent-index.gif`),
  ...files(`${work}/jpegs`, 'baseline-420.jpg grey-progressive.jpg cmyk.jpg exif-6.jpg arithmetic.jpg')];
const bad = [...listed(`${top}/tests/fixtures/formats/bad`), ...listed(`${work}/jpegs/bad`),
  ...files(`${top}/tests/fixtures/questionable`, 'zero-height-24bpp-3x0.bmp rle8-run-past-edge-3x2.bmp')];
const optionSets = ['', '--syntax zilog', '--syntax intel', '--syntax ca65', '--syntax acme', '--syntax sdas',
  '--syntax gas', '--syntax c', '--syntax xbm', '--radix hex --per-line 3 --comment',
  '--radix dec --fill none --label pic', '--dither ordered --threshold 90',
  '--dither floyd-steinberg --invert --background black', '--dither atkinson --centre --width-unit bytes',
  '--layout pages --bit-order msb', '--layout strips --fill ones', '--cell 1x1 --unique --mirror --symbols',
  '--cell 8x8 --skip-empty --unique --empty-index 3',
  '--cell 2x1 --skip-empty --unique --mirror --attr-in-map --map-base 7 --cell-order columns',
  '--mask alpha --mask-layout after', '--mask #FFFFFF --mask-bit opaque --mask-layout block',
  '--crop 1,0,4,3 --rotate 90 --flip both', '--resize 8x8 --fit cover --trim', '--resize 12x7 --fit contain',
  '--scale 3 --rotate 270', '--target ssd1306 --no-header', '--frames all --symbols --label-prefix spr_',
  '--preview-full', '--binary -o out.bin', '-o out.asm --syntax c --radix dec'].map(words);

// rastelle-cli in a folder of its own holding `inputs`, as the module runs it.
function runNative(args, inputs, stdin) {
  const folder = fs.mkdtempSync(path.join(work, 'run-'));
  for (const [name, bytes] of Object.entries(inputs)) fs.writeFileSync(path.join(folder, name), bytes);
  const result = spawnSync(cli, args, { cwd: folder, input: stdin || '', env: { PATH: process.env.PATH } });
  const written = {};
  for (const name of fs.readdirSync(folder).filter((name) => !(name in inputs))) written[name] = new Uint8Array(fs.readFileSync(path.join(folder, name)));
  fs.rmSync(folder, { recursive: true });
  return { status: result.status, stdout: result.stdout, stderr: result.stderr.toString(), files: written };
}

function assertSame(args, inputs, stdin) {
  const web = rastelle.run(args, inputs, stdin);
  const native = runNative(args, inputs, stdin);
  assert.deepEqual({ ...web, stdout: Buffer.from(web.stdout) }, native, `rastelle-cli ${args.join(' ')}`);
  return native;
}
const inputOf = (file) => ({ [path.basename(file)]: fs.readFileSync(file) });
const ghost = inputOf(`${top}/docs/ghost.bmp`);

test('every fixture under every option set gives the host tool\'s bytes, files and words', () => {
  for (const file of fixtures) for (const options of optionSets) assertSame([...options, path.basename(file)], inputOf(file));
});

test('several files, standard input, the .bmp completion and an output over the input', () => {
  const checker = fs.readFileSync(`${top}/tests/fixtures/good/mono-1bpp-checker-13x5.bmp`);
  const rows = [[['--symbols', 'ghost.bmp', 'checker.bmp'], { ...ghost, 'checker.bmp': checker }],
    [['-', '--label', 'piped'], {}, ghost['ghost.bmp']], [['ghost'], ghost], [['-o', 'ghost.bmp', 'ghost.bmp'], ghost]];
  for (const [args, inputs, stdin] of rows) assertSame(args, inputs, stdin);
});

test('the way back: the text of each option set turned into the same picture', () => {
  for (const options of ['', '--syntax c --radix hex', '--layout pages --mask #000000', '--cell 8x8',
    '--no-header --syntax intel'].map(words)) {
    const text = runNative([...options, '--label', 'g', 'ghost.bmp'], ghost).stdout;
    assert.ok(text.length > 0);
    const size = options.includes('--no-header') ? ['--size', '16x16'] : [];
    // A PNG, a PBM (refused with a mask), and a folder of one picture per label.
    for (const out of ['back.png', 'back.pbm', '.']) {
      assertSame(['--reverse', ...options, ...size, 'g.asm', '-o', out], { 'g.asm': text });
    }
  }
});

test('bad files and bad options: the same status and words', () => {
  for (const file of bad) assertSame([path.basename(file)], inputOf(file));
  for (const args of ['missing.png', '--threshold 256 ghost.bmp', '--cell 5x5 ghost.bmp',
    '--crop 10,10,20,20 ghost.bmp', '--label nop --syntax zilog ghost.bmp', '--resize 70000x1 ghost.bmp',
    '--frobnicate', '--syntax list', '--target list', ''].map(words)) assertSame(args, ghost);
});

test('help and version are the host tool\'s', () => {
  assert.equal(rastelle.help(), runNative(['--help'], {}).stdout.toString());
  assert.equal(rastelle.version(), runNative(['--version'], {}).stdout.toString());
});

// preview(): a 4 x 2 TGA, rows from the top, with alpha. Row 0: black, white, black but transparent,
// grey 100; row 1: white, black, white but transparent, black. Black and grey 100 are 1. Tones:
// 0 paper, 1 ink, 2 fill of 0s, 3 fill of 1s, 4 transparent; a row is completed to 8 digits.
const pixels = [[0, 0, 0, 255], [255, 255, 255, 255], [0, 0, 0, 0], [100, 100, 100, 255],
  [255, 255, 255, 255], [0, 0, 0, 255], [255, 255, 255, 0], [0, 0, 0, 255]];
const tga = new Uint8Array([0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 0x28,
  ...pixels.flatMap(([r, g, b, a]) => [b, g, r, a])]);
const input = { 'p.tga': tga };
// Each cell of 1 x 1 pixel is 8 wide with its fill; of 8192 x 512 every second is kept.
const sampled = (digits) => Array(128).fill(digits.map((d) => `${d}222`.repeat(256)).join(''));

test('the picture laid out with its fill, mask and cells, as worked by hand; the frames counted', () => {
  const rows = [ // options, tones row by row, cell width and height, step
    [[], ['10012222', '01012222']],
    [['--mask', 'alpha', '--fill', 'ones'], ['10413333', '01413333']],
    // Inverting leaves a transparent pixel's digit 0; the mask still marks the transparent.
    [['--mask', 'alpha', '--invert', '--mask-bit', 'opaque', '--fill', 'none'], ['0140', '1040']],
    [['--crop', '0,0,3,2', '--centre'], ['22100222', '22010222']],
    [['--threshold', '34', '--cell', '2x2'], ['1022222200222222', '0122222201222222'], 8, 2],
    [['--layout', 'pages', '--centre'], ['2222', '2222', '2222', '1001', '0101', '2222', '2222', '2222']],
    [['--rotate', '90'], ['01222222', '10222222', '00222222', '11222222']],
    [['--trim', '--threshold', '34', '--crop', '2,0,2,2', '--fill', 'none'], ['1']],
    [['--scale', '256', '--cell', '1x1'], [...sampled([1, 0, 0, 1]), ...sampled([0, 1, 0, 1])], 8, 1, 2],
  ];
  for (const [options, tones, cellWidth = 0, cellHeight = 0, step = 1] of rows) {
    const got = rastelle.preview([...options, 'p.tga'], input);
    const text = [...Array(got.height)].map((_, y) => got.tones.slice(y * got.width, (y + 1) * got.width).join(''));
    assert.deepEqual({ ...got, tones: text }, { status: 0, stderr: '', width: tones[0].length, height: tones.length,
      step, cellWidth, cellHeight, frames: 1, tones }, options.join(' '));
  }
  const gif = fs.readFileSync(`${top}/tests/fixtures/formats/good/animated-4-frames.gif`);
  assert.equal(rastelle.preview(['a.gif'], { 'a.gif': gif }).frames, 4);
  assert.equal(rastelle.preview(['--cell', '3x2', 'p.tga'], input).status, 1, 'cells that don\'t tile it, as the tool');
});
