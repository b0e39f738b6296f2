#!/usr/bin/env python3
"""Checks that no include climbs a layer.

    check_layers.py [--root DIR]       the tree at DIR (default: this checkout)
    check_layers.py --self-test        shows the check failing on a copy of the
                                       tree with one include that climbs

The layers of src/ and what each may include:

    common < platform < profile, hid, hook, lang, ui < app

ui also includes lang (its texts pass through the translation state), and the
backends of platform/win32 and platform/linux include platform and common
only. platform/ itself holds headers and no code, and only the backends
include the operating system's headers. The product (src/ and win/) includes
nothing of tests/. Each offending include is named with its file and line;
the exit status is 1 when there is one.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

ALLOWED = {
    "common": {"common"},
    "platform": {"platform", "common"},
    "platform/win32": {"platform/win32", "platform", "common"},
    "platform/linux": {"platform/linux", "platform", "common"},
    "profile": {"profile", "platform", "common"},
    "hid": {"hid", "platform", "common"},
    "hook": {"hook", "platform", "common"},
    "lang": {"lang", "platform", "common"},
    "ui": {"ui", "lang", "platform", "common"},
    "app": {"app", "profile", "hid", "hook", "lang", "ui", "platform", "common"},
}
ORDER = ["common", "platform", "platform/win32", "platform/linux", "profile", "hid", "hook", "lang", "ui", "app"]

# Headers of an operating system, by the backends that may include them.
WINDOWS_HEADERS = re.compile(
    r"^(windows|winbase|winuser|windowsx|shellapi|shlobj|objbase|commctrl|dbt|setupapi|hidsdi|hidpi|hidusage|"
    r"mmsystem|mmdeviceapi|endpointvolume|initguid|sddl|winver|winreg|psapi|process|io)\.h$", re.IGNORECASE)
LINUX_HEADERS = re.compile(
    r"^(unistd\.h|fcntl\.h|poll\.h|pthread\.h|dlfcn\.h|libudev\.h|(sys|linux|pulse|dbus|systemd)/.*)$")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc", ".c")


def layer_of_file(relpath):
    """The layer of a file below src/, or None."""
    parts = relpath.split("/")
    if parts[0] != "src" or len(parts) < 3:
        return None
    if parts[1] == "platform" and len(parts) > 3 and parts[2] in ("win32", "linux"):
        return "platform/" + parts[2]
    return parts[1] if parts[1] in ALLOWED else None


def layer_of_include(path):
    """The layer an include "layer/file.h" names, or None for anything else."""
    for layer in ("platform/win32", "platform/linux"):
        if path.startswith(layer + "/"):
            return layer
    first = path.split("/")[0]
    return first if first in ALLOWED and "/" in path else None


def sources(root, top):
    base = os.path.join(root, top)
    for folder, dirs, files in os.walk(base):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_ENDINGS):
                full = os.path.join(folder, name)
                yield os.path.relpath(full, root).replace(os.sep, "/"), full


def includes(full):
    with open(full, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1) == "<", m.group(2)


def check(root):
    problems = []
    for rel, full in sources(root, "src"):
        layer = layer_of_file(rel)
        if layer == "platform" and not rel.endswith((".h", ".hpp")):
            problems.append(f"{rel}: platform/ holds the seams' headers only; code goes to a backend")
        for number, system, path in includes(full):
            where = f"{rel}:{number}: #include {'<' if system else chr(34)}{path}{'>' if system else chr(34)}"
            if system:
                if WINDOWS_HEADERS.match(path) and layer != "platform/win32":
                    problems.append(f"{where}: only platform/win32 includes Windows headers")
                elif LINUX_HEADERS.match(path) and layer != "platform/linux":
                    problems.append(f"{where}: only platform/linux includes Linux headers")
                continue
            target = layer_of_include(path)
            if target is None:
                problems.append(f"{where}: not a header of a layer of src/")
            elif layer is None:
                problems.append(f"{where}: the file is in no layer")
            elif target not in ALLOWED[layer]:
                allowed = ", ".join(l for l in ORDER if l in ALLOWED[layer])
                problems.append(f"{where}: {layer} may not include {target} (it may include {allowed})")
    # The product's programs (win/, linux/) include nothing of the tests.
    for rel, full in [*sources(root, "win"), *sources(root, "linux")]:
        for number, system, path in includes(full):
            if system:
                continue
            in_tests = os.path.exists(os.path.join(root, "tests", path))
            in_product = any(os.path.exists(os.path.join(root, top, path)) for top in ("src", "win", "linux"))
            if in_tests and not in_product:
                problems.append(f'{rel}:{number}: #include "{path}": the product includes test code')
    return problems


def report(root):
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print(f"FAIL: {len(problems)} include(s) out of place")
        return 1
    print("ok: every include stays in its layer")
    return 0


def self_test(root):
    with tempfile.TemporaryDirectory() as tmp:
        for top in ("src", "win", "tests"):
            shutil.copytree(os.path.join(root, top), os.path.join(tmp, top))
        victim = os.path.join(tmp, "src", "profile", "tdm.h")
        with open(victim, encoding="utf-8") as f:
            text = f.read()
        with open(victim, "w", encoding="utf-8") as f:
            f.write(text.replace("#pragma once\n", '#pragma once\n#include "app/monitor.h"\n', 1))
        run = subprocess.run([sys.executable, os.path.abspath(__file__), "--root", tmp], capture_output=True,
                             text=True)
        print(run.stdout, end="")
        if run.returncode == 0:
            print("FAIL: the check passed a profile header that includes app/")
            return 1
        if 'src/profile/tdm.h:2: #include "app/monitor.h": profile may not include app' not in run.stdout:
            print("FAIL: the check did not name the file, the line and the include")
            return 1
    print("ok: an include that climbs fails the check, named with its file and line")
    return 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", default=os.path.normpath(os.path.join(here, "..", "..")))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    return self_test(args.root) if args.self_test else report(args.root)


if __name__ == "__main__":
    sys.exit(main())
