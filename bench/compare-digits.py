#!/usr/bin/env python3
"""Times rastelle-cli side by side with other programs on the same files, for the digit stage:

- plain thresholding of a 4096 x 4096 24-bit BMP photo written to /dev/null against
  `cat FILE` into a pipe (target: at most 2.0 x cat's time);
- Floyd-Steinberg on that photo as a PNG against ImageMagick's
  `convert IN -colorspace gray -dither FloydSteinberg -monochrome pbm:-` (target: at most 0.3);
- the peak memory (/usr/bin/time -v) of a 16384 x 16384 8-bit grey BMP converted to a file,
  plain and with each dithering (target: dithered at most 64 MiB above plain).

The photo is ImageMagick's built-in rose scaled up. Runs alternate between the programs
compared; each figure is the best of several runs (the machine is shared), with the CPU
time (user + system) of that run beside it.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time


def run(command, stdout=subprocess.DEVNULL):
    """Wall time and CPU time of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=stdout, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return elapsed, usage.ru_utime + usage.ru_stime


def side_by_side(commands, runs):
    """Best (wall, cpu) of each command, the commands taking turns."""
    best = [None] * len(commands)
    for _ in range(runs):
        for i, command in enumerate(commands):
            result = run(command)
            if best[i] is None or result[0] < best[i][0]:
                best[i] = result
    return best


def peak_kib(command):
    out = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", out).group(1))


def write_grey_bmp(path, side):
    """An 8-bit grey BMP whose rows run through every grey, shifted from row to row."""
    stride = (side + 3) & ~3
    header = struct.pack("<2sIHHI", b"BM", 54 + 1024 + stride * side, 0, 0, 54 + 1024)
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 8, 0, stride * side, 2835, 2835, 256, 0)
    palette = b"".join(bytes((g, g, g, 0)) for g in range(256))
    ramp = bytes(range(256)) * (stride // 256 + 2)
    with open(path, "wb") as out:
        out.write(header + info + palette)
        for y in range(side):
            out.write(ramp[y % 256:y % 256 + stride])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default="build/native/rastelle-cli")
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    convert = shutil.which("convert")
    if not convert:
        sys.exit("ImageMagick's convert is missing (apt-get install imagemagick)")
    ok = True
    with tempfile.TemporaryDirectory() as work:
        bmp = os.path.join(work, "photo.bmp")
        png = os.path.join(work, "photo.png")
        for target in (f"BMP3:{bmp}", png):
            subprocess.run([convert, "rose:", "-resize", "4096x4096!", "-type", "TrueColor",
                            target], check=True)

        (cli, cli_cpu), (cat, cat_cpu) = side_by_side(
            [[args.cli, bmp], ["sh", "-c", f"cat '{bmp}' | cat >/dev/null"]], args.runs)
        print(f"4096 x 4096 24-bit BMP, plain threshold to /dev/null: rastelle-cli "
              f"{cli * 1000:.0f} ms (CPU {cli_cpu * 1000:.0f} ms), cat into a pipe "
              f"{cat * 1000:.0f} ms (CPU {cat_cpu * 1000:.0f} ms): {cli / cat:.2f} x "
              f"(target at most 2.0)")
        ok = ok and cli <= 2.0 * cat

        (cli, cli_cpu), (magick, magick_cpu) = side_by_side(
            [[args.cli, "--dither", "floyd-steinberg", png],
             [convert, png, "-colorspace", "gray", "-dither", "FloydSteinberg", "-monochrome",
              "pbm:-"]], max(3, args.runs // 2))
        print(f"4096 x 4096 PNG photo, Floyd-Steinberg: rastelle-cli {cli * 1000:.0f} ms "
              f"(CPU {cli_cpu * 1000:.0f} ms), ImageMagick {magick * 1000:.0f} ms "
              f"(CPU {magick_cpu * 1000:.0f} ms): {cli / magick:.3f} (target at most 0.3)")
        ok = ok and cli <= 0.3 * magick

        big = os.path.join(work, "big.bmp")
        text = os.path.join(work, "big.asm")
        write_grey_bmp(big, 16384)
        plain = peak_kib([args.cli, "-o", text, big])
        print(f"16384 x 16384 8-bit grey BMP to a file, peak memory: plain {plain / 1024:.1f} MiB",
              end="")
        for dither in ("ordered", "floyd-steinberg", "atkinson"):
            peak = peak_kib([args.cli, "--dither", dither, "-o", text, big])
            print(f", {dither} {peak / 1024:.1f} MiB", end="")
            ok = ok and peak <= plain + 64 * 1024
        print(" (target: at most 64 MiB above plain)")
    print("targets met" if ok else "TARGETS MISSED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
