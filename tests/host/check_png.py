#!/usr/bin/env python3
"""Decodes the host's PNG files with Python's zlib, a decoder written apart
from the host's own writer: every chunk CRC, the zlib stream with its
Adler-32, and the pixels.

  check_png.py --wine-run scripts/wine-run --bin build/x86_64/bin

1. velmorant-host.exe --editor-shot under Wine's null display driver: the
   picture must decode, have the size the program reported, and show the
   editor (many colours, not one value).
2. host_tests.exe writes its sample pictures and their raw pixels into a
   folder (PngWriter.SamplePicturesForAnIndependentDecoder); each must decode
   to exactly those pixels.
Exit code 77 (skipped) where Wine cannot make windows, found first: under
emulated 32-bit Wine that costs no process start.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib


def fail(message):
    print("check_png: " + message)
    sys.exit(1)


def decode(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(path + ": no PNG signature")
    at, chunks = 8, []
    while at < len(data):
        if at + 12 > len(data):
            fail(path + ": cut short inside a chunk header")
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            fail("%s: the CRC of %s is wrong" % (path, kind.decode("latin-1")))
        chunks.append((kind, body))
        at += 12 + length
    kinds = [kind for kind, _ in chunks]
    if kinds[0] != b"IHDR" or kinds[-1] != b"IEND" or b"IDAT" not in kinds:
        fail("%s: chunks %s" % (path, kinds))
    width, height, depth, colour, method, filtering, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if (depth, colour, method, filtering, interlace) != (8, 2, 0, 0, 0):
        fail("%s: not 8-bit RGB without interlace" % path)
    # decompress checks the zlib header and the Adler-32 at the end.
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    stride = width * 3
    if len(raw) != height * (stride + 1):
        fail("%s: %d bytes of rows for %d x %d" % (path, len(raw), width, height))
    rows = []
    for y in range(height):
        if raw[y * (stride + 1)] != 0:
            fail("%s: row %d has a filter the writer does not use" % (path, y))
        rows.append(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    return width, height, b"".join(rows)


def run(wine_run, bin_dir, command, display=False, extra_env=None):
    env = dict(os.environ)
    env.pop("VELMORANT_DISPLAY", None)
    if display:
        env["VELMORANT_DISPLAY"] = "null"
    env.update(extra_env or {})
    result = subprocess.run([wine_run] + command, cwd=bin_dir, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=900)
    return result.returncode, result.stdout.decode("utf-8", "replace").replace("\r", "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    bin_dir = os.path.abspath(args.bin)
    args.wine_run = os.path.abspath(args.wine_run)

    shot_dir = tempfile.mkdtemp(prefix="png-shot-", dir=bin_dir)
    try:
        shot = os.path.join(os.path.basename(shot_dir), "editor.png")
        code, out = run(args.wine_run, bin_dir, ["velmorant-host.exe", "Velmorant.dll", "--editor-shot", shot],
                        display=True)
        if code == 77:
            print("check_png: " + out.strip())
            return 77
        if code != 0:
            fail("velmorant-host --editor-shot failed (exit code %d):\n%s" % (code, out))
        reported = re.search(r"editor shot: .* \((\d+) x (\d+)\)", out)
        if not reported:
            fail("no size reported:\n" + out)
        width, height, pixels = decode(os.path.join(bin_dir, shot))
        if (width, height) != (int(reported.group(1)), int(reported.group(2))):
            fail("the picture is %d x %d, the editor %s x %s" % (width, height, reported.group(1), reported.group(2)))
        colours = {pixels[i:i + 3] for i in range(0, len(pixels), 3)}
        if len(colours) <= 8 or len(set(pixels)) <= 1:
            fail("the editor's picture is blank: %d colours" % len(colours))
        print("check_png: the editor's picture, %d x %d, %d colours" % (width, height, len(colours)))
    finally:
        shutil.rmtree(shot_dir, ignore_errors=True)

    samples = tempfile.mkdtemp(prefix="png-samples-", dir=bin_dir)
    try:
        code, out = run(args.wine_run, bin_dir,
                        ["host_tests.exe", "--gtest_brief=1",
                         "--gtest_filter=PngWriter.SamplePicturesForAnIndependentDecoder"],
                        extra_env={"VELMORANT_PNG_SAMPLES": os.path.basename(samples)})
        if code != 0 or "[  PASSED  ] 1 test" not in out:
            fail("host_tests did not write the samples (exit code %d):\n%s" % (code, out))
        names = sorted(n for n in os.listdir(samples) if n.endswith(".png"))
        if len(names) < 6:
            fail("only %d sample pictures: %s" % (len(names), names))
        for name in names:
            width, height, pixels = decode(os.path.join(samples, name))
            expected = open(os.path.join(samples, name[:-4] + ".rgb"), "rb").read()
            if pixels != expected:
                fail("%s (%d x %d) decodes to other pixels than were written" % (name, width, height))
            print("check_png: %s, %d x %d, decodes to its pixels" % (name, width, height))
    finally:
        shutil.rmtree(samples, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
