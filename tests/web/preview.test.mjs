// preview() against a picture worked by hand: a 4 x 2 TGA with an alpha channel.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { test } from 'node:test';

const require = createRequire(import.meta.url);
const top = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const rastelle = await require(process.env.RASTELLE_WEB_MODULE)();

// Uncompressed true-colour TGA, rows from the top (descriptor 0x28: 8 alpha bits, top-left).
// Row 0: black, white, black but transparent, grey 100; row 1: white, black, white but
// transparent, black. At the default threshold (R+G+B < 384) black and grey 100 are 1.
const pixels = [
  [0, 0, 0, 255], [255, 255, 255, 255], [0, 0, 0, 0], [100, 100, 100, 255],
  [255, 255, 255, 255], [0, 0, 0, 255], [255, 255, 255, 0], [0, 0, 0, 255],
];
const header = [0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 0x28];
const tga = new Uint8Array([...header, ...pixels.flatMap(([r, g, b, a]) => [b, g, r, a])]);
const input = { 'p.tga': tga };

test('the digits, mask and cells of the hand-worked picture', () => {
  const rows = [
    // options, width x height, digits, mask (null: none), cell size
    [[], 4, 2, [1, 0, 0, 1, 0, 1, 0, 1], null, 0, 0],
    [['--mask', 'alpha'], 4, 2, [1, 0, 0, 1, 0, 1, 0, 1], [0, 0, 1, 0, 0, 0, 1, 0], 0, 0],
    // Inverting leaves a transparent pixel's digit 0; the mask stays where the pixels are.
    [['--mask', 'alpha', '--invert', '--mask-bit', 'opaque'], 4, 2, [0, 1, 0, 0, 1, 0, 0, 0], [0, 0, 1, 0, 0, 0, 1, 0], 0, 0],
    [['--threshold', '34', '--cell', '2x2'], 4, 2, [1, 0, 0, 0, 0, 1, 0, 1], null, 2, 2],
    [['--crop', '1,0,2,2', '--mask', 'alpha'], 2, 2, [0, 0, 1, 0], [0, 1, 0, 1], 0, 0],
    [['--rotate', '90'], 2, 4, [0, 1, 1, 0, 0, 0, 1, 1], null, 0, 0],
    [['--trim', '--threshold', '34', '--crop', '2,0,2,2'], 1, 1, [1], null, 0, 0],
  ];
  for (const [options, width, height, digits, mask, cellWidth, cellHeight] of rows) {
    const got = rastelle.preview([...options, 'p.tga'], input);
    const shown = options.join(' ');
    assert.deepEqual({ status: got.status, stderr: got.stderr, width: got.width, height: got.height },
      { status: 0, stderr: '', width, height }, shown);
    assert.deepEqual([...got.digits], digits, shown);
    assert.deepEqual(got.mask && [...got.mask], mask, shown);
    assert.deepEqual([got.cellWidth, got.cellHeight, got.frames], [cellWidth, cellHeight, 1], shown);
  }
});

test('an animation counts its frames; a picture that can\'t be converted gives the tool\'s words', () => {
  const gif = fs.readFileSync(path.join(top, 'tests/fixtures/formats/good/animated-4-frames.gif'));
  assert.equal(rastelle.preview(['a.gif'], { 'a.gif': gif }).frames, 4);
  const rows = [
    [['--cell', '3x2', 'p.tga'], 1, 'rastelle-cli: p.tga: 4 x 2 pixels are no whole number of 3 x 2 cells: 1 columns and 0 rows left over\n'],
    [['q.tga'], 1, 'rastelle-cli: Could not open file q.tga: No such file or directory\n'],
    [['--threshold', 'x', 'p.tga'], 2, null],
  ];
  for (const [args, status, stderr] of rows) {
    const got = rastelle.preview(args, input);
    assert.equal(got.status, status, args.join(' '));
    assert.equal(got.stderr, stderr ?? rastelle.run(args, input).stderr);
    assert.equal(got.digits.length, 0);
  }
});
