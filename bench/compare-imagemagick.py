#!/usr/bin/env python3
"""Times rastelle-cli against ImageMagick on the same images, side by side, and measures the
CLI's peak memory on a 16384 x 16384 1-bit BMP, whose text (320 MiB) must be streamed: at most
128 MiB to standard output and with -o.

ImageMagick's `convert in.bmp -colorspace gray -threshold 50% xbm:-` is the nearest common
tool doing the same job (a 1-bit rendering as source text); for PNGs with alpha it flattens
over white first, as rastelle does. Images: a 4096 x 4096 24-bit BMP (with the CLI's peak
memory against its budget: file size + twice the text + 64 MB), a 4096 x 4096 RGBA PNG, a
128 x 64 RGBA sprite PNG, and a 4096 x 4096 JPEG (made by cjpeg from the BMP) against
ImageMagick's Floyd-Steinberg rendering. Prints the best of several runs of each and their ratio.
"""
import argparse
import os
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib


def write_test_image(path, side):
    """A 24-bit bottom-up BMP with a pattern that gives both digits everywhere."""
    stride = (side * 3 + 3) & ~3
    header = struct.pack("<2sIHHI", b"BM", 54 + stride * side, 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, stride * side, 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info)
        padding = b"\0" * (stride - side * 3)
        for y in range(side):
            row = bytearray(side * 3)
            for x in range(0, side * 3, 3):
                value = ((x // 3) * 7 + y * 13) & 0xFF
                row[x:x + 3] = bytes((value, value ^ 0x55, value))
            out.write(bytes(row) + padding)


def write_1bit_image(path, side):
    """A 1-bit bottom-up BMP, black and white palette, rows of a varying byte pattern."""
    stride = (side // 8 + 3) & ~3
    header = struct.pack("<2sIHHI", b"BM", 62 + stride * side, 0, 0, 62)
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 1, 0, stride * side, 2835, 2835, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    pattern = bytes(range(256)) * (stride // 256 + 2)
    with open(path, "wb") as out:
        out.write(header + info + palette)
        for y in range(side):
            out.write(pattern[y % 256:y % 256 + stride])


def write_test_png(path, width, height):
    """An RGBA PNG whose pattern and alpha give both digits everywhere."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            value = (x * 7 + y * 13) & 0xFF
            rows += bytes((value, value ^ 0x55, (x + y) & 0xFF, (x * 3 + y) & 0xFF))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))


def run(command, runs):
    """Best wall time over `runs` runs, and the peak resident size of the run that took it."""
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"failed: {' '.join(command)}: {process.stderr.read().decode()}")
        process.stderr.close()
        peak_kib = usage.ru_maxrss  # KiB on Linux
        if best is None or elapsed < best[0]:
            best = (elapsed, peak_kib)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default="build/native/rastelle-cli")
    parser.add_argument("--side", type=int, default=4096)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    convert = shutil.which("convert")
    if not convert:
        sys.exit("ImageMagick's convert is missing (apt-get install imagemagick)")

    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, "in.bmp")
        write_test_image(image, args.side)
        text_path = os.path.join(work, "out.asm")
        subprocess.run([args.cli, "-o", text_path, image], check=True, stderr=subprocess.DEVNULL)
        file_size = os.path.getsize(image)
        text_size = os.path.getsize(text_path)

        cli_time, cli_peak_kib = run([args.cli, image], args.runs)
        magick_time, _ = run([convert, image, "-colorspace", "gray", "-threshold", "50%", "xbm:-"],
                             args.runs)

        big = os.path.join(work, "big.bmp")
        write_1bit_image(big, 16384)
        big_stdout_time, big_stdout_kib = run([args.cli, big], 1)
        big_file_time, big_file_kib = run([args.cli, "-o", text_path, big], 1)
        big_text_size = os.path.getsize(text_path)
        pages_time, pages_kib = run([args.cli, "--layout", "pages", "-o", text_path, big], 1)
        # Back again: the pages text to a PBM streams a page of 8 rows at a time.
        picture = os.path.join(work, "back.pbm")
        back_time, back_kib = run([args.cli, "--reverse", "--layout", "pages", "-o", picture,
                                   text_path], 1)
        subprocess.run([args.cli, "-o", text_path, image], check=True, stderr=subprocess.DEVNULL)
        png = os.path.join(work, "back.png")
        back_png_time, back_png_kib = run([args.cli, "--reverse", "-o", png, text_path], 1)

    mib = 1024 * 1024
    budget = file_size + 2 * text_size + 64 * mib
    peak = cli_peak_kib * 1024
    print(f"image: {args.side} x {args.side}, 24 bits per pixel, {file_size / mib:.1f} MiB; "
          f"text {text_size / mib:.1f} MiB")
    print(f"rastelle-cli: {cli_time * 1000:.0f} ms (best of {args.runs})")
    print(f"ImageMagick convert: {magick_time * 1000:.0f} ms (best of {args.runs})")
    print(f"ratio: rastelle-cli takes {cli_time / magick_time:.3f} of ImageMagick's time "
          f"(target at most 0.100)")
    print(f"rastelle-cli peak memory: {peak / mib:.1f} MiB; budget {budget / mib:.1f} MiB "
          f"(file + 2 x text + 64 MiB)")
    print(f"16384 x 16384 1-bit (text {big_text_size / mib:.0f} MiB): to standard output "
          f"{big_stdout_time:.2f} s, peak {big_stdout_kib / 1024:.1f} MiB; with -o "
          f"{big_file_time:.2f} s, peak {big_file_kib / 1024:.1f} MiB (target at most 128 MiB)")
    print(f"the same in pages (--layout pages) with -o: {pages_time:.2f} s, "
          f"peak {pages_kib / 1024:.1f} MiB (target at most 64 MiB)")
    print(f"back (--reverse): the pages text to PBM {back_time:.2f} s, peak "
          f"{back_kib / 1024:.1f} MiB (target at most 64 MiB); the {args.side} x {args.side} "
          f"text to PNG {back_png_time:.2f} s, peak {back_png_kib / 1024:.1f} MiB (the whole "
          f"picture, one byte a pixel, and the library's file)")
    ok = (cli_time <= magick_time / 10 and peak <= budget and
          max(big_stdout_kib, big_file_kib) <= 128 * 1024 and pages_kib <= 64 * 1024 and
          back_kib <= 64 * 1024)

    for width, height, runs, target in ((4096, 4096, args.runs, "ratio"), (128, 64, 20, "time")):
        with tempfile.TemporaryDirectory() as work:
            image = os.path.join(work, "in.png")
            write_test_png(image, width, height)
            cli_time, _ = run([args.cli, image], runs)
            magick_time, _ = run([convert, image, "-background", "white", "-flatten",
                                  "-threshold", "50%", "xbm:-"], runs)
        print(f"image: {width} x {height} RGBA PNG: rastelle-cli {cli_time * 1000:.1f} ms, "
              f"ImageMagick {magick_time * 1000:.1f} ms (best of {runs}); "
              f"ratio {cli_time / magick_time:.3f}")
        if target == "ratio":
            print("  target: at most 0.200 of ImageMagick's time")
            ok = ok and cli_time <= magick_time * 0.2
        else:
            print("  target: under 5 ms")
            ok = ok and cli_time < 0.005
    # A photo-sized JPEG: ImageMagick's usual way to a 1-bit picture of it against ours.
    with tempfile.TemporaryDirectory() as work:
        bmp = os.path.join(work, "in.bmp")
        image = os.path.join(work, "in.jpg")
        write_test_image(bmp, args.side)
        subprocess.run(["cjpeg", "-quality", "90", "-outfile", image, bmp], check=True)
        cli_time, _ = run([args.cli, image], args.runs)
        magick_time, _ = run([convert, image, "-colorspace", "gray", "-dither", "FloydSteinberg",
                              "-monochrome", "pbm:-"], args.runs)
        jpeg_mib = os.path.getsize(image) / mib
    ratio = cli_time / magick_time
    print(f"image: {args.side} x {args.side} JPEG ({jpeg_mib:.1f} MiB, cjpeg -quality 90): "
          f"rastelle-cli (threshold) {cli_time * 1000:.0f} ms; "
          f"ImageMagick -dither FloydSteinberg -monochrome {magick_time * 1000:.0f} ms "
          f"(best of {args.runs}); ratio {ratio:.3f}")
    print("  target: at most 0.300 of ImageMagick's time")
    ok = ok and ratio <= 0.3
    print("targets met" if ok else "TARGETS MISSED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
