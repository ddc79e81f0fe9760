#!/usr/bin/env python3
"""One install round of the setup program in a fresh copy of the pristine Wine
prefix: an older version to a custom folder, the current one over it without
/D= (same folder, new DisplayVersion), a render through the registry-found
engine byte-identical to the build tree's, the same version again (files and
registry unchanged), a damaged install (engine deleted: the host gets no
effect record), then a silent uninstall that leaves a value planted by
someone else and a folder that was there before.

  install_round.py --root SRC --bin BIN_DIR --peer-bin OTHER_BIN_DIR --arch x86_64 --version 1.0.0 --work DIR
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys

PLUGIN_FOLDER = r"C:\some folder\VST"
ENGINE_FOLDER = r"C:\Program Files\Korvanta\Velmorant"
# Beside the plug-in: the engine host programs of both architectures and the
# i686 runtime (the 32-bit plug-in's and the 32-bit engine host's).
PLUGIN_FILES = ["Velmorant.Runtime", "Velmorant.dll", "VelmorantEngineHost32.exe", "VelmorantEngineHost64.exe"]


def fail(message):
    print("install round: FAILED: " + message)
    sys.exit(1)


def windows_to_unix(prefix, path):
    return os.path.join(prefix, "drive_c", *path[3:].split("\\"))


def registry(prefix, key):
    """The values of one key of system.reg, as text, with Wine's escapes."""
    values = {}
    header = "[" + key.replace("\\", "\\\\") + "]"
    inside = False
    with open(os.path.join(prefix, "system.reg"), encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                inside = line.split("]")[0] + "]" == header
            elif inside and line.startswith('"') and "=" in line:
                name, value = line.split("=", 1)
                values[name.strip('"')] = value
    return values


def snapshot(prefix, folders):
    files = {}
    for folder in folders:
        top = windows_to_unix(prefix, folder)
        for dirpath, dirnames, filenames in os.walk(top):
            for name in filenames:
                path = os.path.join(dirpath, name)
                with open(path, "rb") as f:
                    files[os.path.relpath(path, prefix)] = hashlib.sha256(f.read()).hexdigest()
    return files


def single_round(args, prefix, wine, build, install):
    """i686, where every 32-bit start costs about 80 s: install, one render
    through the registry-found engine, uninstall (four 32-bit starts)."""
    engine_folder = r"C:\Program Files (x86)\Korvanta\Velmorant"
    if install(build(args.version), PLUGIN_FOLDER) != 0:
        fail("the install failed")
    engine_value = registry(prefix, r"Software\Wow6432Node\Korvanta\SoftSynth").get("Velmorant")
    if engine_value != '"%s"' % (engine_folder + r"\VelmorantEngine.dll").replace("\\", "\\\\"):
        fail("the engine value in the 32-bit view is %r" % engine_value)
    vst = windows_to_unix(prefix, PLUGIN_FOLDER)
    if sorted(os.listdir(vst)) != PLUGIN_FILES:
        fail("the plug-in folder holds %s" % sorted(os.listdir(vst)))
    if wine(os.path.join(args.bin, "velmorant-host.exe"), PLUGIN_FOLDER + r"\Velmorant.dll", "--quiet", "--out",
            r"C:\installed.wav"):
        fail("the render through the installed plug-in failed")
    with open(windows_to_unix(prefix, r"C:\installed.wav"), "rb") as f:
        if not any(f.read()[44:]):
            fail("the render is silent")
    if wine(engine_folder + r"\Uninstall.exe", "/S") != 0:
        fail("the uninstaller failed")
    for folder in [PLUGIN_FOLDER, engine_folder, r"C:\Program Files (x86)\Korvanta"]:
        if os.path.exists(windows_to_unix(prefix, folder)):
            fail("left after uninstalling: %s" % folder)
    for key in [r"Software\Wow6432Node\Korvanta\SoftSynth", r"Software\Wow6432Node\Korvanta\Velmorant",
                r"Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Velmorant"]:
        if registry(prefix, key):
            fail("left after uninstalling: %s" % key)
    print("install round: passed")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--peer-bin", required=True)
    parser.add_argument("--arch", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if shutil.which("makensis") is None:
        print("install round: makensis missing")
        sys.exit(77)
    pristine = os.path.join(args.root, "build", "wineprefix-pristine")
    if not os.path.isfile(os.path.join(pristine, "system.reg")):
        fail("no pristine prefix " + pristine + " (scripts/setup makes it)")

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    stage = os.path.join(args.work, "stage")
    peer_host = "VelmorantEngineHost32.exe" if args.arch == "x86_64" else "VelmorantEngineHost64.exe"
    if not os.path.isfile(os.path.join(args.peer_bin, peer_host)):
        print("install round: skipped: no %s in %s (build the other architecture too)" % (peer_host, args.peer_bin))
        sys.exit(77)
    subprocess.run(["sh", os.path.join(args.root, "tests/install/stage.sh"), args.arch, args.bin, args.peer_bin,
                    stage], check=True)
    nsis_arch = "win64" if args.arch == "x86_64" else "win32"
    prefix = os.path.join(args.work, "prefix")
    subprocess.run(["cp", "-a", pristine, prefix], check=True)
    env = dict(os.environ, VELMORANT_WINEPREFIX=prefix, WINEPREFIX=prefix)
    env.pop("VELMORANT_DISPLAY", None)
    # Unchecked in the heap-checked run too: every call below boots the round's
    # prefix afresh, so Wine's own service processes would inherit the heap
    # checking, which reports damage that is not there in their several
    # allocating threads and then crashes them. The renders made here are the
    # command-line host's, heap-checked in host_tests.
    env["VELMORANT_HEAP_CHECK"] = "0"
    wine_run = os.path.join(args.root, "scripts/wine-run")
    log = open(os.path.join(args.work, "wine.log"), "ab")

    def wine(*command):
        code = subprocess.run([wine_run, *command], env=env, stdin=subprocess.DEVNULL, stdout=log,
                              stderr=subprocess.STDOUT).returncode
        # Waits for every process of the prefix, the uninstaller's copy too,
        # and for the registry to reach system.reg.
        subprocess.run(["wineserver", "-w"], env=env)
        return code

    def build(version):
        out = os.path.join(prefix, "drive_c", "setup-%s.exe" % version)
        subprocess.run(["makensis", "-V2", "-DVERSION=" + version, "-DARCH=" + nsis_arch, "-DSTAGE=" + stage,
                        "-DOUTFILE=" + out, os.path.join(args.root, "installer/Velmorant.nsi")], check=True)
        return r"C:\setup-%s.exe" % version

    def install(setup, folder=None):
        # cmd hands the line on as written: NSIS reads /D= unquoted.
        line = setup + " /S" + (" /D=" + folder if folder else "")
        return wine("cmd", "/c", line)

    try:
        if args.arch == "i686":
            single_round(args, prefix, wine, build, install)
            return
        old_setup, setup = build("0.9.0"), build(args.version)
        uninstall_key = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmorant"
        os.makedirs(windows_to_unix(prefix, r"C:\some folder"))

        # The build tree's render, before anything is installed.
        plugin_in_tree = "Z:" + os.path.join(args.bin, "Velmorant.dll").replace("/", "\\")
        if wine(os.path.join(args.bin, "velmorant-host.exe"), plugin_in_tree, "--quiet", "--out", r"C:\tree.wav"):
            fail("the render from the build tree failed")

        if install(old_setup, PLUGIN_FOLDER) != 0:
            fail("installing 0.9.0 failed")
        if registry(prefix, uninstall_key).get("DisplayVersion") != '"0.9.0"':
            fail("0.9.0 registered no DisplayVersion 0.9.0")
        if install(setup) != 0:
            fail("the upgrade failed")
        product = registry(prefix, r"Software\Korvanta\Velmorant")
        if product.get("PluginFolder") != '"C:\\\\some folder\\\\VST"':
            fail("the upgrade did not keep the plug-in folder: %r" % product.get("PluginFolder"))
        if registry(prefix, uninstall_key).get("DisplayVersion") != '"%s"' % args.version:
            fail("the upgrade left DisplayVersion %r" % registry(prefix, uninstall_key).get("DisplayVersion"))
        engine_value = registry(prefix, r"Software\Korvanta\SoftSynth").get("Velmorant")
        if engine_value != '"C:\\\\Program Files\\\\Korvanta\\\\Velmorant\\\\VelmorantEngine.dll"':
            fail("the engine value is %r" % engine_value)
        vst = windows_to_unix(prefix, PLUGIN_FOLDER)
        if sorted(os.listdir(vst)) != PLUGIN_FILES:
            fail("the plug-in folder holds %s" % sorted(os.listdir(vst)))
        engine_folder = windows_to_unix(prefix, ENGINE_FOLDER)
        staged = sorted(["VelmorantEngine.dll", "README.txt", "LICENSE.txt", "Uninstall.exe", "Presets"])
        if sorted(os.listdir(engine_folder)) != staged:
            fail("the engine folder holds %s" % sorted(os.listdir(engine_folder)))
        if sorted(os.listdir(os.path.join(engine_folder, "Presets"))) != sorted(os.listdir(os.path.join(stage, "Presets"))):
            fail("the installed presets differ from the staged ones")

        # The plug-in in the VST folder finds the engine only through the registry.
        if wine(os.path.join(args.bin, "velmorant-host.exe"), PLUGIN_FOLDER + r"\Velmorant.dll", "--quiet", "--out",
                r"C:\installed.wav"):
            fail("the render through the installed plug-in failed")
        with open(windows_to_unix(prefix, r"C:\tree.wav"), "rb") as f:
            tree = f.read()
        with open(windows_to_unix(prefix, r"C:\installed.wav"), "rb") as f:
            installed = f.read()
        if installed != tree:
            fail("the installed plug-in renders differently from the build tree")
        if not any(installed[44:]):
            fail("the render is silent")

        # The musician's setting: the installed engine in an engine host of
        # its own, started from the plug-in's folder, renders the same.
        wine("reg", "add", r"HKCU\Software\Korvanta\Velmorant", "/v", "EngineProcess", "/t", "REG_DWORD", "/d",
             "1", "/f")
        if wine(os.path.join(args.bin, "velmorant-host.exe"), PLUGIN_FOLDER + r"\Velmorant.dll", "--quiet", "--out",
                r"C:\own-process.wav"):
            fail("the render with EngineProcess set failed")
        wine("reg", "delete", r"HKCU\Software\Korvanta\Velmorant", "/v", "EngineProcess", "/f")
        with open(windows_to_unix(prefix, r"C:\own-process.wav"), "rb") as f:
            if f.read() != tree:
                fail("the installed plug-in renders differently with its engine in its own process")

        folders = [PLUGIN_FOLDER, ENGINE_FOLDER]
        keys = [r"Software\Korvanta\Velmorant", r"Software\Korvanta\SoftSynth", uninstall_key]
        before = (snapshot(prefix, folders), [registry(prefix, k) for k in keys])
        if install(setup, PLUGIN_FOLDER) != 0:
            fail("installing the same version again failed")
        if (snapshot(prefix, folders), [registry(prefix, k) for k in keys]) != before:
            fail("installing the same version again changed files or registry values")

        # A damaged install: without its engine the plug-in gives the host no
        # effect record, which velmorant-host answers with exit code 4.
        os.remove(os.path.join(engine_folder, "VelmorantEngine.dll"))
        code = wine(os.path.join(args.bin, "velmorant-host.exe"), PLUGIN_FOLDER + r"\Velmorant.dll", "--quiet")
        if code != 4:
            fail("the plug-in without its engine made velmorant-host exit with %d, not 4" % code)

        if wine("reg", "add", r"HKLM\Software\Korvanta\SoftSynth", "/v", "Other", "/d", r"C:\Other.dll", "/f"):
            fail("planting a value failed")
        if wine(ENGINE_FOLDER + r"\Uninstall.exe", "/S") != 0:
            fail("the uninstaller failed")
        for folder in [vst, engine_folder, os.path.dirname(engine_folder)]:
            if os.path.exists(folder):
                fail("left after uninstalling: %s" % folder)
        if not os.path.isdir(windows_to_unix(prefix, r"C:\some folder")):
            fail("the uninstaller removed a folder that was there before")
        if registry(prefix, r"Software\Korvanta\SoftSynth") != {"Other": '"C:\\\\Other.dll"'}:
            fail("the engine key holds %r" % registry(prefix, r"Software\Korvanta\SoftSynth"))
        if registry(prefix, r"Software\Korvanta\Velmorant") or registry(prefix, uninstall_key):
            fail("the uninstaller left its own keys")
        print("install round: passed")
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env)
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
