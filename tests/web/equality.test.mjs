// The web module against the host's rastelle-cli: the same stdout, files, status and stderr
// for every fixture under every kind of option, the way back, bad files and the help.
// node equality.test.mjs, with RASTELLE_WEB_MODULE (rastelle.js) and RASTELLE_NATIVE_CLI set.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { test } from 'node:test';

const require = createRequire(import.meta.url);
const top = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const cli = process.env.RASTELLE_NATIVE_CLI;
assert.ok(cli && fs.existsSync(cli), `no host rastelle-cli at "${cli}": build the native preset first`);
const rastelle = await require(process.env.RASTELLE_WEB_MODULE)();
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'rastelle-web-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

// JPEGs of every kind the decoder takes (and damaged ones), made by Debian's tools.
const jpegs = path.join(work, 'jpegs');
assert.equal(spawnSync('python3', [path.join(top, 'tests/fixtures/make_jpegs.py'), jpegs]).status, 0);
const inFolder = (folder, names) => names.map((name) => path.join(folder, name));
const fixtures = [
  path.join(top, 'docs/ghost.bmp'),
  ...inFolder(path.join(top, 'tests/fixtures/good'),
    ['mono-1bpp-checker-13x5.bmp', 'rgb24-bottom-up-5x3.bmp', 'rle8-5x3.bmp', 'grey-4bpp-7x3.bmp']),
  ...inFolder(path.join(top, 'tests/fixtures/formats/good'),
    ['animated-4-frames.gif', 'rgba-8bit.png', 'grey-4bit-trns.png', 'palette-8bit-trns.png',
      'rgb555.tga', 'rgb-16bit.ppm', 'grey-4bit.pgm', 'plain-comment.pbm', 'transparent-index.gif']),
  ...inFolder(jpegs, ['baseline-420.jpg', 'grey-progressive.jpg', 'cmyk.jpg', 'exif-6.jpg', 'arithmetic.jpg']),
];
const bad = [
  ...fs.readdirSync(path.join(top, 'tests/fixtures/formats/bad')).map((name) => path.join(top, 'tests/fixtures/formats/bad', name)),
  ...fs.readdirSync(path.join(jpegs, 'bad')).map((name) => path.join(jpegs, 'bad', name)),
  ...inFolder(path.join(top, 'tests/fixtures/questionable'), ['zero-height-24bpp-3x0.bmp', 'rle8-run-past-edge-3x2.bmp']),
];

const optionSets = [
  [],
  ...['zilog', 'intel', 'ca65', 'acme', 'sdas', 'gas', 'c', 'xbm'].map((syntax) => ['--syntax', syntax]),
  ['--radix', 'hex', '--per-line', '3', '--comment'],
  ['--radix', 'dec', '--fill', 'none', '--label', 'pic'],
  ['--dither', 'ordered', '--threshold', '90'],
  ['--dither', 'floyd-steinberg', '--invert', '--background', 'black'],
  ['--dither', 'atkinson', '--centre', '--width-unit', 'bytes'],
  ['--layout', 'pages', '--bit-order', 'msb'],
  ['--layout', 'strips', '--fill', 'ones'],
  ['--cell', '1x1', '--unique', '--mirror', '--symbols'],
  ['--cell', '8x8', '--skip-empty', '--unique', '--empty-index', '3'],
  ['--cell', '2x1', '--skip-empty', '--unique', '--mirror', '--attr-in-map', '--map-base', '7', '--cell-order', 'columns'],
  ['--mask', 'alpha', '--mask-layout', 'after'],
  ['--mask', '#FFFFFF', '--mask-bit', 'opaque', '--mask-layout', 'block'],
  ['--crop', '1,0,4,3', '--rotate', '90', '--flip', 'both'],
  ['--resize', '8x8', '--fit', 'cover', '--trim'],
  ['--resize', '12x7', '--fit', 'contain'],
  ['--scale', '3', '--rotate', '270'],
  ['--target', 'ssd1306', '--no-header'],
  ['--frames', 'all', '--symbols', '--label-prefix', 'spr_'],
  ['--preview-full'],
  ['--binary', '-o', 'out.bin'],
  ['-o', 'out.asm', '--syntax', 'c', '--radix', 'dec'],
];

// rastelle-cli in a folder of its own holding `inputs`, as the module runs it.
function runNative(args, inputs, stdin) {
  const folder = fs.mkdtempSync(path.join(work, 'run-'));
  for (const [name, bytes] of Object.entries(inputs)) fs.writeFileSync(path.join(folder, name), bytes);
  const result = spawnSync(cli, args, { cwd: folder, input: stdin || Buffer.alloc(0), env: { PATH: process.env.PATH } });
  const files = {};
  for (const name of fs.readdirSync(folder)) {
    if (!(name in inputs)) files[name] = new Uint8Array(fs.readFileSync(path.join(folder, name)));
  }
  fs.rmSync(folder, { recursive: true });
  return { status: result.status, stdout: new Uint8Array(result.stdout), stderr: result.stderr.toString(), files };
}

function assertSame(args, inputs, stdin) {
  const web = rastelle.run(args, inputs, stdin);
  const native = runNative(args, inputs, stdin);
  assert.deepEqual({ ...web, stdout: Buffer.from(web.stdout) }, { ...native, stdout: Buffer.from(native.stdout) },
    `rastelle-cli ${args.join(' ')}`);
  return native;
}

const inputOf = (file) => ({ [path.basename(file)]: fs.readFileSync(file) });

test('every fixture under every option set gives the host tool\'s bytes, files and words', () => {
  for (const file of fixtures) {
    for (const options of optionSets) assertSame([...options, path.basename(file)], inputOf(file));
  }
});

test('several files, standard input and the .bmp completion', () => {
  const ghost = fs.readFileSync(path.join(top, 'docs/ghost.bmp'));
  const checker = fs.readFileSync(path.join(top, 'tests/fixtures/good/mono-1bpp-checker-13x5.bmp'));
  const rows = [
    [['--symbols', 'ghost.bmp', 'checker.bmp'], { 'ghost.bmp': ghost, 'checker.bmp': checker }],
    [['-', '--label', 'piped'], {}, ghost],
    [['ghost'], { 'ghost.bmp': ghost }],
    [['-o', 'ghost.bmp', 'ghost.bmp'], { 'ghost.bmp': ghost }],
  ];
  for (const [args, inputs, stdin] of rows) assertSame(args, inputs, stdin);
});

test('the way back: the text of each option set turned into the same picture', () => {
  const ghost = path.join(top, 'docs/ghost.bmp');
  const rows = [
    [],
    ['--syntax', 'c', '--radix', 'hex'],
    ['--layout', 'pages', '--mask', '#000000'],
    ['--cell', '8x8'],
    ['--no-header', '--syntax', 'intel'],
  ];
  for (const options of rows) {
    const text = runNative([...options, '--label', 'g', 'ghost.bmp'], inputOf(ghost)).stdout;
    assert.ok(text.length > 0);
    const size = options.includes('--no-header') ? ['--size', '16x16'] : [];
    // A picture, a PBM (refused with a mask), and a folder of one picture per label.
    for (const out of ['back.png', 'back.pbm', '.']) {
      assertSame(['--reverse', ...options, ...size, 'g.asm', '-o', out], { 'g.asm': text });
    }
  }
});

test('bad files and bad options: the same status and words', () => {
  for (const file of bad) assertSame([path.basename(file)], inputOf(file));
  const ghost = inputOf(path.join(top, 'docs/ghost.bmp'));
  const rows = [
    ['missing.png'],
    ['--threshold', '256', 'ghost.bmp'],
    ['--cell', '5x5', 'ghost.bmp'],
    ['--crop', '10,10,20,20', 'ghost.bmp'],
    ['--label', 'nop', '--syntax', 'zilog', 'ghost.bmp'],
    ['--resize', '70000x1', 'ghost.bmp'],
    ['--frobnicate'],
    [],
  ];
  for (const args of rows) assertSame(args, ghost);
});

test('help, version and the tables are the host tool\'s', () => {
  assert.equal(rastelle.help(), Buffer.from(runNative(['--help'], {}).stdout).toString());
  assert.equal(rastelle.version(), Buffer.from(runNative(['--version'], {}).stdout).toString());
  for (const args of [['--syntax', 'list'], ['--target', 'list']]) assertSame(args, {});
});
