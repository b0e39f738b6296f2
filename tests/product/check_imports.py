#!/usr/bin/env python3
"""Checks that Windows images import nothing newer than the Windows they declare.

    check_imports.py [--list FILE] IMAGE...

The declared minimum is the PE header's OS version and subsystem version
(they must agree, and agree across the images). Each directly imported
function is looked up in the list of functions known to be newer than some
Windows version (newer_functions.txt beside this script); any that is newer
than the declared minimum fails the check, by name. Imports are listed with
the mingw-w64 objdump.

    check_imports.py --self-test IMAGE

copies IMAGE, lowers its declared minimum to Windows XP (5.1) in the copy's
header, and expects the check to fail on it: a check that cannot fail proves
nothing.
"""
import argparse
import fnmatch
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OBJDUMP = os.environ.get("VXM_OBJDUMP", "i686-w64-mingw32-objdump")


def version(text):
    major, minor = text.split(".")
    return int(major), int(minor)


def load_list(path):
    rules = []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = line.split()
            if len(fields) != 3:
                sys.exit(f"{path}:{n}: expected DLL FUNCTION VERSION, got {line!r}")
            rules.append((fields[0].lower(), fields[1], version(fields[2])))
    return rules


def read_image(path):
    """(declared versions, [(dll, function)]) as objdump reports them."""
    try:
        out = subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True, text=True).stdout
    except FileNotFoundError:
        sys.exit(f"{OBJDUMP} not found (Debian package binutils-mingw-w64)")
    except subprocess.CalledProcessError as e:
        sys.exit(f"{OBJDUMP} -p {path} failed: {e.stderr.strip()}")
    fields = {}
    for key in ("MajorOSystemVersion", "MinorOSystemVersion", "MajorSubsystemVersion", "MinorSubsystemVersion"):
        m = re.search(rf"^{key}\s+(\d+)", out, re.M)
        if not m:
            sys.exit(f"{path}: no {key} in the PE header")
        fields[key] = int(m.group(1))
    declared = {
        "OS": (fields["MajorOSystemVersion"], fields["MinorOSystemVersion"]),
        "subsystem": (fields["MajorSubsystemVersion"], fields["MinorSubsystemVersion"]),
    }
    imports = []
    dll = None
    for line in out.splitlines():
        m = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        if not line.strip():
            dll = None
            continue
        # "\t<vma>\t <hint> <name>"; an import by ordinal has no name.
        m = re.match(r"^\t[0-9a-fA-F]+\t\s*(\d+)\s*(\S*)", line)
        if dll and m:
            imports.append((dll, m.group(2) or f"#{m.group(1)}"))
    return declared, imports


def fmt(v):
    return f"{v[0]}.{v[1]}"


def check(images, rules):
    failures = []
    minimums = set()
    for path in images:
        if not os.path.isfile(path):
            failures.append(f"{path}: missing (build the windows-x86 preset)")
            continue
        declared, imports = read_image(path)
        name = os.path.basename(path)
        if declared["OS"] != declared["subsystem"]:
            failures.append(f"{name}: declares OS version {fmt(declared['OS'])} "
                            f"but subsystem version {fmt(declared['subsystem'])}")
        minimum = declared["subsystem"]
        minimums.add(minimum)
        newer = 0
        for dll, function in imports:
            for rule_dll, pattern, since in rules:
                if fnmatch.fnmatchcase(dll, rule_dll) and fnmatch.fnmatchcase(function, pattern) and since > minimum:
                    failures.append(f"{name}: imports {function} from {dll}, which needs Windows {fmt(since)}; "
                                    f"the image declares {fmt(minimum)}")
                    newer += 1
                    break
        print(f"{name}: declares Windows {fmt(minimum)}, {len(imports)} imports, {newer} newer than that")
    if len(minimums) > 1:
        failures.append("the images declare different minimums: " + ", ".join(sorted(fmt(v) for v in minimums)))
    return failures


def lower_declared_minimum(path, major, minor):
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            sys.exit(f"{path}: not a PE image")
        optional = pe + 24
        for offset in (40, 48):  # OS version, subsystem version: major then minor
            struct.pack_into("<HH", data, optional + offset, major, minor)
        f.seek(0)
        f.write(data)


def self_test(image, list_path):
    with tempfile.TemporaryDirectory() as tmp:
        copy = os.path.join(tmp, os.path.basename(image))
        shutil.copyfile(image, copy)
        lower_declared_minimum(copy, 5, 1)
        run = subprocess.run([sys.executable, os.path.abspath(__file__), "--list", list_path, copy],
                             capture_output=True, text=True)
        print(run.stdout, end="")
        if run.returncode == 0:
            print(f"FAIL: the check passed {os.path.basename(image)} declared as Windows XP")
            return 1
        # The thread library imports it; CancelIoEx, the other one, is bound
        # at run time.
        if "GetTickCount64" not in run.stdout:
            print("FAIL: the check did not name GetTickCount64")
            return 1
        print("ok: declared as Windows XP, the check fails and names the functions XP lacks")
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", default=os.path.join(HERE, "newer_functions.txt"))
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("images", nargs="+")
    args = parser.parse_args()
    rules = load_list(args.list)
    if args.self_test:
        return self_test(args.images[0], args.list)
    failures = check(args.images, rules)
    for f in failures:
        print("FAIL: " + f)
    if not failures:
        print("ok: no image imports a function newer than the Windows it declares")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
