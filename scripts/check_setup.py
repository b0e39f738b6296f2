#!/usr/bin/env python3
"""Checks that scripts/setup.sh installs every Debian package the build and the
tests use, so that a package installed by hand cannot keep CI green while a
fresh machine fails.

What is used is read from the tree itself: the pkg-config modules, packages
and programs of the CMake files and presets, the toolchains' compilers, the
sanitizer runtimes, the system headers the sources include, the programs the
shell scripts run, the programs the Python scripts and C++ tests start, and
the font files the scripts name. Each is traced to the Debian package that
provides it on this machine (dpkg -S), which must be listed in setup.sh or
pulled in by a listed package's dependencies (apt-cache depends --recurse),
or be an essential package.

  scripts/check_setup.py [--root DIR] [--verbose] [--without PACKAGE]...
Exit 0 when every package is accounted for, 1 naming each that is not.
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys

SHELL_WORDS = {
    "if", "then", "else", "elif", "fi", "for", "while", "until", "do", "done", "case", "esac", "in", "function",
    "select", "time", "coproc", "!", "{", "}", "[[", "]]",
}
# Words that run the next word as the command.
PREFIXES = {"exec", "command", "nohup", "env", "sudo", "$SUDO", "xvfb-run", "timeout", "setsid", "nice", "stdbuf"}
SEARCH_DIRS = ["/usr/local/sbin", "/usr/local/bin", "/usr/sbin", "/usr/bin", "/sbin", "/bin"]


def run(args):
    return subprocess.run(args, capture_output=True, text=True).stdout


def tracked_files(root):
    out = run(["git", "-C", root, "ls-files"])
    if out:
        return [os.path.join(root, f) for f in out.splitlines()]
    found = []
    for d, dirs, files in os.walk(root):
        dirs[:] = [x for x in dirs if x not in (".git", "build", "artifacts")]
        found += [os.path.join(d, f) for f in files]
    return found


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def strip_shell_comments(text):
    lines = []
    for line in text.splitlines():
        # A '#' that starts a word begins a comment (good enough for our scripts).
        lines.append(re.sub(r"(^|\s)#.*$", "", line))
    return "\n".join(lines)


def shell_commands(text):
    """The command words of a shell script: the first word of each simple command."""
    text = strip_shell_comments(text)
    functions = set(re.findall(r"^\s*(?:function\s+)?([A-Za-z_][\w-]*)\s*\(\)", text, re.M))
    # Quoted texts are not commands, but command substitutions inside them are.
    text = re.sub(r"'[^'\n]*'", "''", text)
    words = []
    for piece in re.split(r"\|\||&&|[|;&\n(`]|\$\(|\bthen\b|\bdo\b|\belse\b", text):
        tokens = piece.replace('"', " ").split()
        i = 0
        while i < len(tokens):
            t = tokens[i]
            if t in SHELL_WORDS or re.match(r"^[A-Za-z_]\w*=", t) or t.startswith("-"):
                i += 1
                continue
            if t in PREFIXES:
                i += 1
                # timeout's duration, xvfb-run's and env's options
                while i < len(tokens) and (tokens[i].startswith("-") or re.match(r"^[\d.]+[smh]?$", tokens[i])
                                           or re.match(r"^[A-Za-z_]\w*=", tokens[i])):
                    i += 2 if tokens[i] in ("-s", "-n", "-k") else 1
                continue
            words.append(t)
            break
    return {w for w in words if w not in functions}


def from_cmake(files):
    modules, packages, programs = set(), set(), set()
    sanitizers = set()
    for path in files:
        name = os.path.basename(path)
        if not (name == "CMakeLists.txt" or name.endswith(".cmake")):
            continue
        text = re.sub(r"#[^\n]*", "", read(path))
        for args in re.findall(r"pkg_check_modules\s*\(([^)]*)\)", text, re.I):
            words = args.split()[1:]
            modules |= {w.split(">")[0].split("=")[0] for w in words
                        if w not in ("REQUIRED", "QUIET", "IMPORTED_TARGET", "GLOBAL", "NO_CMAKE_PATH",
                                     "NO_CMAKE_ENVIRONMENT_PATH")}
        for args in re.findall(r"find_package\s*\(([^)]*)\)", text, re.I):
            packages.add(args.split()[0])
        for args in re.findall(r"find_program\s*\(([^)]*)\)", text, re.I):
            words = [w for w in args.split()[1:] if w != "NAMES"]
            if words:
                programs.add(words[0])
        for value in re.findall(r"set\s*\(\s*CMAKE_\w+_COMPILER\s+([^\s)]+)", text):
            programs.add(value)
        for args in re.findall(r"COMMAND\s+([\w.+-]+)", text):
            programs.add(args)
        for flags in re.findall(r"-fsanitize=([\w,-]+)", text):
            sanitizers |= set(flags.split(","))
        if re.search(r"\bproject\s*\(", text):
            programs |= {"cmake", "c++", "cc"}
    return modules, packages, programs, sanitizers


def from_presets(root):
    programs = set()
    try:
        presets = json.loads(read(os.path.join(root, "CMakePresets.json")) or "{}")
    except ValueError:
        return programs
    for p in presets.get("configurePresets", []):
        if p.get("generator", "").startswith("Ninja"):
            programs.add("ninja")
        for key, value in p.get("cacheVariables", {}).items():
            if re.match(r"CMAKE_\w+_COMPILER$", key) and isinstance(value, str):
                programs.add(value)
    return programs


def from_scripts(files):
    programs, fonts = set(), set()
    for path in files:
        text = read(path)
        rel = path
        if path.endswith(".sh") or (os.path.basename(os.path.dirname(path)) == ".ci") or text.startswith("#!/usr/bin/env bash"):
            programs |= shell_commands(text)
            # Programs named by absolute path (the scripts' defaults: ${WINE64:-/usr/lib/wine/wine64}).
            programs |= {p for p in re.findall(r"(/usr/(?:lib|bin|sbin)/[\w./+-]+)", text)
                         if os.path.isfile(p) and os.access(p, os.X_OK)}
        elif path.endswith(".py"):
            # subprocess calls: the first element of an argument list, and UPPER_CASE program constants.
            programs |= set(re.findall(r"\[\s*['\"]([\w.+-]+)['\"]\s*,", text))
            programs |= set(re.findall(r"^[A-Z_]+\s*=\s*['\"]([\w.+-]+)['\"]\s*$", text, re.M))
        elif rel.startswith(("tests", "tests/")) or "/tests/" in path:
            if path.endswith((".cpp", ".h")):
                # Command lines the tests hand to a shell or start.
                programs |= set(re.findall(
                    r"\b(?:Shell|popen|system|exec[lv]p?|posix_spawnp)\s*\(\s*\(?\s*\"([a-z][\w.+-]*)[ \"]", text))
        fonts |= set(re.findall(r"([\w-]+\.(?:ttc|ttf|otf))\b", text))
    return programs, fonts


def include_dirs():
    dirs = ["/usr/include", "/usr/include/x86_64-linux-gnu", "/usr/share/mingw-w64/include",
            "/usr/x86_64-w64-mingw32/include", "/usr/i686-w64-mingw32/include"]
    dirs += glob.glob("/usr/include/*/")
    return dirs


def from_includes(files):
    headers = set()
    for path in files:
        if path.endswith((".cpp", ".h", ".c", ".rc")):
            headers |= set(re.findall(r"^\s*#\s*include\s*<([\w./+-]+)>", read(path), re.M))
    found = set()
    for h in headers:
        for d in include_dirs():
            p = os.path.join(d, h)
            if os.path.isfile(p):
                found.add((h, os.path.realpath(p)))
                break
    return found


_owners = {}


def spellings(path):
    """The names dpkg may know a file by (merged /usr, links)."""
    names = [path, os.path.realpath(path)]
    for c in list(names):
        if c.startswith(("/usr/bin/", "/usr/sbin/", "/usr/lib/")):
            names.append(c[4:])
        elif c.startswith(("/bin/", "/sbin/", "/lib/")):
            names.append("/usr" + c)
    return names


def learn_owners(paths):
    """Asks dpkg once for the packages of many files."""
    todo = sorted({n for p in paths for n in spellings(p)} - set(_owners))
    for i in range(0, len(todo), 500):
        out = run(["dpkg", "-S"] + todo[i:i + 500])
        for line in out.splitlines():
            pkg, _, file = line.partition(": ")
            if "diversion" not in pkg:
                _owners.setdefault(file.strip(), pkg.split(",")[0].split(":")[0].strip())
    for n in todo:
        _owners.setdefault(n, None)


def owner(path):
    """The Debian package that provides a file, or None."""
    learn_owners([path])
    for c in spellings(path):
        if _owners.get(c):
            return _owners[c]
    return None


def program_paths(name):
    if name.startswith("/"):
        return [name]
    paths = []
    for d in os.environ.get("PATH", "").split(":") + SEARCH_DIRS:
        p = os.path.join(d, name)
        if os.path.isfile(p) and os.access(p, os.X_OK) and p not in paths:
            paths.append(p)
    return paths


def program_owner(name):
    """(package, path) of the first copy of a program that a Debian package provides."""
    paths = program_paths(name)
    for p in paths:
        pkg = owner(p)
        if pkg:
            return pkg, p
    return None, (paths[0] if paths else None)


def sanitizer_runtimes(sanitizers):
    libs = {"address": "libasan.so", "undefined": "libubsan.so", "thread": "libtsan.so"}
    found = []
    for s in sorted(sanitizers):
        if s in libs and shutil.which("g++"):
            p = run(["g++", "-print-file-name=" + libs[s]]).strip()
            if os.path.isabs(p):
                found.append(("-fsanitize=" + s + " (g++)", p))
        if s in ("fuzzer", "fuzzer-no-link") and shutil.which("clang++"):
            d = run(["clang++", "--print-runtime-dir"]).strip()
            p = os.path.join(d, "libclang_rt.fuzzer-x86_64.a")
            found.append(("-fsanitize=" + s + " (clang++)", p))
    return found


def cmake_package_file(name):
    pats = [f"/usr/lib/*/cmake/{name}*/{name}Config.cmake", f"/usr/lib/*/cmake/{name.lower()}*/{name.lower()}-config.cmake",
            f"/usr/lib/cmake/{name}*/{name}Config.cmake", f"/usr/share/cmake*/Modules/Find{name}.cmake"]
    for pat in pats:
        hits = sorted(glob.glob(pat))
        if hits:
            return hits[0]
    return None


def listed_packages(root):
    text = read(os.path.join(root, "scripts", "setup.sh"))
    m = re.search(r"^packages=\((.*?)^\)", text, re.S | re.M)
    if not m:
        return []
    return [w for w in strip_shell_comments(m.group(1)).split()]


def closure(packages):
    out = run(["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests", "--no-conflicts",
               "--no-breaks", "--no-replaces", "--no-enhances"] + packages)
    names = set(packages)
    for line in out.splitlines():
        line = line.strip()
        m = re.match(r"^(?:\|?(?:Depends|PreDepends):\s*)?<?([\w.+:-]+)>?$", line)
        if m:
            names.add(m.group(1).split(":")[0])
    return names


def essential_packages():
    out = run(["dpkg-query", "-W", "-f=${Package} ${Essential} ${Priority}\n"])
    return {w[0] for w in (line.split() for line in out.splitlines())
            if len(w) >= 2 and (w[1] == "yes" or "required" in w[1:])}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    ap.add_argument("--verbose", action="store_true")
    ap.add_argument("--without", action="append", default=[],
                    help="check as if setup.sh did not list this package (the check's own test)")
    a = ap.parse_args()
    root = os.path.abspath(a.root)
    files = tracked_files(root)

    uses = []  # (what, path or None)
    modules, cmake_packages, programs, sanitizers = from_cmake(files)
    programs |= from_presets(root)
    script_programs, fonts = from_scripts(files)
    programs |= script_programs
    for m in sorted(modules):
        d = run(["pkg-config", "--variable=pcfiledir", m]).strip()
        uses.append((f"pkg-config module {m}", os.path.join(d, m + ".pc") if d else None))
    for p in sorted(cmake_packages - {"PkgConfig"}):
        uses.append((f"CMake package {p}", cmake_package_file(p)))
    uses += sanitizer_runtimes(sanitizers)
    for h, path in sorted(from_includes(files)):
        uses.append((f"header <{h}>", path))
    for f in sorted(fonts):
        hits = glob.glob(f"/usr/share/fonts/**/{f}", recursive=True)
        uses.append((f"font {f}", hits[0] if hits else None))

    listed = [p for p in listed_packages(root) if p not in a.without]
    if not listed:
        print("check_setup: no packages=( ... ) list in scripts/setup.sh")
        return 1
    allowed = closure(listed) | essential_packages()
    problems, seen = [], {}

    def judge(what, pkg, path):
        if pkg is None:
            problems.append(f"{what}: {path or 'not found'} comes from no Debian package here")
            return
        ok = pkg in allowed
        seen.setdefault(pkg, []).append(what)
        if a.verbose:
            print(f"{'ok ' if ok else 'NO '} {what}: {path} ({pkg})")
        if not ok:
            problems.append(f"{what}: {path} is in package {pkg}, which scripts/setup.sh does not install")

    learn_owners([p for _, p in uses if p and os.path.exists(p)])
    for what, path in uses:
        judge(what, owner(path) if path and os.path.exists(path) else None, path)
    learn_owners([p for n in programs if not n.startswith("$") for p in program_paths(n)])
    for name in sorted(programs):
        if name.startswith("$") or ("/" in name and not name.startswith("/")):
            continue
        if name.startswith("/") and not (os.path.isfile(name) and os.access(name, os.X_OK)):
            continue
        if not name.startswith("/") and not shutil.which(name) and not any(
                os.path.exists(os.path.join(d, name)) for d in SEARCH_DIRS):
            # Not a program on this machine: a word of the scripts, or a program a test builds itself.
            if a.verbose:
                print(f"--  program {name}: not on this machine, skipped")
            continue
        pkg, path = program_owner(name)
        judge(f"program {name}", pkg, path)

    for p in problems:
        print("check_setup: " + p)
    print(f"check_setup: {len(uses) + len(programs)} uses checked, {len(seen)} packages, "
          f"{len(listed)} listed in scripts/setup.sh: {'FAILED' if problems else 'ok'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
