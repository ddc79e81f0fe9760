#!/usr/bin/env python3
"""Checks of the release, run by CTest.

  release_check.py version --version V --arch A --host HOST.exe --binaries BINARY...
      every binary's VERSIONINFO (read from the PE file, no Wine) holds V in
      numeric and text form, the company and product; i686 binaries also keep
      their runtime manifest. On x86_64, HOST --version prints V.
  release_check.py zip --version V --arch A --build DIR --source DIR
      scripts/package for this build tree; SHA256SUMS checks; the ZIP holds
      exactly the listed files, stripped binaries, no build paths; unpacked in
      a folder whose path holds a space, its host renders through its plug-in
      (engine found beside it, no registry value) a WAV that is not silent.
"""
import argparse
import getpass
import os
import struct
import subprocess
import sys
import tempfile
import zipfile


def fail(message):
    print("release check failed: " + message)
    sys.exit(1)


def resources(path):
    """{(type, name): data} of a PE file's resources (first language)."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail(path + " is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rva, size = struct.unpack_from("<II", data, directories + 2 * 8)
    if not size:
        return {}
    table = optional + optional_size
    offset = None
    for i in range(sections):
        vsize, vaddr, _, raw = struct.unpack_from("<IIII", data, table + i * 40 + 8)
        if vaddr <= rva < vaddr + max(vsize, 1):
            offset, base = raw + rva - vaddr, vaddr - raw
    if offset is None:
        fail(path + ": resource directory outside every section")

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, offset + at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, offset + at + 16 + i * 8)
            yield name, target

    found = {}
    for rtype, t in entries(0):
        for rname, n in entries(t & 0x7FFFFFFF):
            for _, leaf in entries(n & 0x7FFFFFFF):
                drva, dsize = struct.unpack_from("<II", data, offset + (leaf & 0x7FFFFFFF))
                found.setdefault((rtype, rname), data[drva - base:drva - base + dsize])
                break
    return found


def version_info(block):
    """(FILEVERSION, PRODUCTVERSION, {string: value}) of a VS_VERSIONINFO."""
    key = "VS_VERSION_INFO".encode("utf-16-le")
    at = block.find(key)
    fixed = block.find(struct.pack("<I", 0xFEEF04BD), at)
    if at < 0 or fixed < 0:
        fail("no VS_FIXEDFILEINFO")
    fms, fls, pms, pls = struct.unpack_from("<IIII", block, fixed + 8)
    def numeric(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    text = block.decode("utf-16-le", errors="replace")
    for name in ("CompanyName", "ProductName", "FileVersion", "ProductVersion", "FileDescription",
                 "OriginalFilename", "InternalName", "LegalCopyright"):
        i = text.find(name + "\0")
        if i >= 0:
            rest = text[i + len(name):].lstrip("\0")
            strings[name] = rest.split("\0", 1)[0]
    return numeric(fms, fls), numeric(pms, pls), strings


def check_version(args):
    numeric = ".".join((args.version.split(".") + ["0"] * 4)[:4])
    for path in args.binaries:
        found = resources(path)
        block = found.get((16, 1))
        if block is None:
            fail(path + ": no VERSIONINFO resource")
        fv, pv, strings = version_info(block)
        name = os.path.basename(path)
        expected = {"CompanyName": "Korvanta", "ProductName": "Velmorant", "FileVersion": args.version,
                    "ProductVersion": args.version, "OriginalFilename": name}
        for key, value in expected.items():
            if strings.get(key) != value:
                fail("%s: %s is %r, not %r" % (name, key, strings.get(key), value))
        if (fv, pv) != (numeric, numeric):
            fail("%s: numeric versions %s/%s, not %s" % (name, fv, pv, numeric))
        if not strings.get("FileDescription") or "2026 Korvanta" not in strings.get("LegalCopyright", ""):
            fail(name + ": no description or copyright")
        if args.arch == "i686":
            manifest = found.get((24, 1 if name.endswith(".exe") else 2))
            if manifest is None or b"Velmorant.Runtime" not in manifest:
                fail(name + ": the runtime manifest resource is gone")
        print("%s: %s %s" % (name, fv, strings["FileVersion"]))
    if args.arch == "x86_64":
        run = subprocess.run([os.path.join(ROOT, "scripts", "wine-run"), args.host, "--version"],
                             capture_output=True, text=True, timeout=120)
        line = run.stdout.replace("\r", "").strip()
        if run.returncode != 0 or line != "velmorant-host " + args.version:
            fail("--version printed %r, exit code %d" % (line, run.returncode))
        print("--version: " + line)
    print("release version: ok")


def no_registry_value(wine_run):
    """Deletes the Velmorant value under HKCU and HKLM (both views), then asks for it."""
    commands = []
    for hive in ("HKCU", "HKLM"):
        for view in ("/reg:32", "/reg:64"):
            key = hive + "\\Software\\Korvanta\\SoftSynth"
            commands.append('reg delete %s /v Velmorant /f %s >nul 2>&1' % (key, view))
            commands.append('reg query %s /v Velmorant %s 2>nul' % (key, view))
    run = subprocess.run([wine_run, "cmd", "/c", " & ".join(commands)], capture_output=True, text=True,
                         timeout=120)
    if "REG_" in run.stdout:
        fail("a Velmorant registry value is still set: " + run.stdout.strip())


def check_zip(args):
    # The package holds the other architecture's engine host from its build tree.
    peer_host = "VelmorantEngineHost32.exe" if args.arch == "x86_64" else "VelmorantEngineHost64.exe"
    if not os.path.isfile(os.path.join(args.peer, "release", peer_host)):
        print("release zip: skipped: no %s built in %s" % (peer_host, args.peer))
        sys.exit(77)
    suffix = "win32" if args.arch == "i686" else "win64"
    folder = "Velmorant-%s-%s" % (args.version, suffix)
    with tempfile.TemporaryDirectory(prefix="release zip ") as temp:
        out = os.path.join(temp, "out")
        subprocess.run([os.path.join(ROOT, "scripts", "package"), "--arch", args.arch, "--out", out,
                        "--build-dir", args.build], check=True)
        if subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=out).returncode != 0:
            fail("sha256sum -c SHA256SUMS")
        listed = sorted(line.split()[1] for line in open(os.path.join(out, "SHA256SUMS")))
        wanted = sorted([folder + ".zip", folder + "-symbols.zip", "Velmorant-%s-sdk.zip" % args.version]
                        + [n for n in listed if n.endswith("-setup.exe")])
        if listed != wanted:
            fail("SHA256SUMS lists %s" % listed)

        presets = sorted(n for n in os.listdir(os.path.join(args.source, "engine", "presets")) if n.endswith(".fxp"))
        expected = ["Velmorant.dll", "VelmorantEngine.dll", "velmorant-host.exe", "README.txt", "LICENSE.txt",
                    "VelmorantEngineHost32.exe", "VelmorantEngineHost64.exe"]
        expected += ["Presets/" + p for p in presets]
        # The 32-bit engine host needs the runtime assembly in either package.
        expected += ["Velmorant.Runtime/" + n for n in
                     ("libgcc_s_dw2-1.dll", "libstdc++-6.dll", "Velmorant.Runtime.manifest")]
        archive = zipfile.ZipFile(os.path.join(out, folder + ".zip"))
        files = sorted(n for n in archive.namelist() if not n.endswith("/"))
        if files != sorted(folder + "/" + n for n in expected) or len(presets) != 9:
            fail("the ZIP holds %s" % files)
        if b"\r\n" not in archive.read(folder + "/README.txt") or b"\n\n" in archive.read(folder + "/README.txt"):
            fail("README.txt has no Windows line endings")

        unpacked = os.path.join(temp, "unpacked here")
        archive.extractall(unpacked)
        stage = os.path.join(unpacked, folder)
        machine = [args.build.encode(), args.source.encode(), b"/work/", ("/" + getpass.getuser() + "/").encode()]
        for name in expected:
            if not name.endswith((".dll", ".exe")):
                continue
            path = os.path.join(stage, name)
            headers = subprocess.run(["objdump", "-h", path], capture_output=True, text=True, check=True).stdout
            if ".debug" in headers:
                fail(name + " has debug sections")
            content = open(path, "rb").read()
            for needle in machine:
                if needle in content:
                    fail("%s holds %r" % (name, needle))

        wine_run = os.path.join(ROOT, "scripts", "wine-run")
        no_registry_value(wine_run)
        wav = os.path.join(stage, "phrase.wav")
        run = subprocess.run([wine_run, os.path.join(stage, "velmorant-host.exe"),
                              os.path.join(stage, "Velmorant.dll"), "--list", "--out", wav, "--tail", "0.5",
                              "--format", "16"], capture_output=True, text=True, timeout=600)
        print(run.stdout + run.stderr)
        if run.returncode != 0 or not os.path.isfile(wav):
            fail("velmorant-host from the ZIP exited with %d" % run.returncode)
        samples = open(wav, "rb").read()
        data = samples.find(b"data")
        pcm = samples[data + 8:]
        peak = max(abs(v) for v in struct.unpack("<%dh" % (len(pcm) // 2), pcm[:len(pcm) // 2 * 2]))
        if data < 0 or peak < 100:
            fail("the WAV is silent (peak %d)" % peak)
        print("peak %d of %d bytes" % (peak, len(pcm)))
    print("release zip: ok")


ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=("version", "zip"))
    parser.add_argument("--version", required=True)
    parser.add_argument("--peer", help="the other architecture's build tree")
    parser.add_argument("--arch", required=True, choices=("i686", "x86_64"))
    parser.add_argument("--host")
    parser.add_argument("--build")
    parser.add_argument("--source")
    parser.add_argument("--binaries", nargs="+", default=[])
    args = parser.parse_args()
    check_version(args) if args.what == "version" else check_zip(args)


main()
