// A 1024 x 1024 conversion through the web module's run() in node (wasm, SIMD on) against the
// host's rastelle-cli, each the median of several runs; prints both and their ratio (target:
// at most 3). node bench/web-bench.mjs WEB_MODULE NATIVE_CLI; status 1 when a ratio misses.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const [modulePath, cli] = process.argv.slice(2).map((p) => path.resolve(p));
const rastelle = await createRequire(import.meta.url)(modulePath)();
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'rastelle-web-bench-'));
const runs = 15;

// A photo-like picture: smooth shading with detail, as a 24-bit BMP, a PNG and a JPEG of
// ImageMagick's.
const bmp = path.join(work, 'picture.bmp');
const png = path.join(work, 'picture.png');
const jpeg = path.join(work, 'picture.jpg');
for (const [out, extra] of [[bmp, ['-type', 'TrueColor']], [png, []], [jpeg, ['-quality', '90']]]) {
  const made = spawnSync('convert', ['-size', '1024x1024', '-seed', '7', 'plasma:', ...extra, out]);
  if (made.status !== 0) throw new Error(`convert failed: ${made.stderr}`);
}

function median(times) {
  const sorted = [...times].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function time(action) {
  action();  // warm up
  const times = [];
  for (let i = 0; i < runs; ++i) {
    const start = process.hrtime.bigint();
    action();
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  return median(times);
}

// The host tool's time is its process's, start-up included, writing to /dev/null; the web
// module's is run()'s, copying the file in and the text out included.
function nativeTime(args, file) {
  const output = fs.openSync('/dev/null', 'w');
  const result = time(() => spawnSync(cli, [...args, file], { stdio: ['ignore', output, 'ignore'] }));
  fs.closeSync(output);
  return result;
}

const rows = [
  ['threshold, BMP', [], bmp],
  ['threshold, PNG', [], png],
  ['floyd-steinberg, PNG', ['--dither', 'floyd-steinberg'], png],
  ['threshold, JPEG', [], jpeg],
  ['hex with comments, PNG', ['--radix', 'hex', '--comment'], png],
];
let missed = false;
console.log('1024 x 1024, median of ' + runs + ' runs   native ms   web ms   ratio (target <= 3)');
for (const [name, args, file] of rows) {
  const bytes = fs.readFileSync(file);
  const native = nativeTime(args, file);
  const web = time(() => rastelle.run([...args, 'in'], { in: bytes }));
  const ratio = web / native;
  missed = missed || ratio > 3;
  console.log(`${name.padEnd(38)}${native.toFixed(2).padStart(9)}${web.toFixed(2).padStart(9)}${ratio.toFixed(2).padStart(8)}`);
}
fs.rmSync(work, { recursive: true });
process.exitCode = missed ? 1 : 0;
