#!/usr/bin/env python3
"""Writes the seeds of the language stream's fuzz target that come from the
project's data (tests/fuzz/corpus/fuzz_language_stream/seed-*): the built-in
language stream and a small valid ui.local, as raw streams and as ui.local.

    make_seeds.py [--root REPO]

The other targets' seeds are checked in as they are. Inputs that once failed
live beside them as regress-* and are never touched here. Run it again after
the language source changes; it rewrites only that target's seed-* files.
"""
import argparse
import os
import struct
import sys


def utf16_field(text):
    data = text.encode("utf-16-le")
    return struct.pack("<i", len(data) // 2) + data


def language_stream(source_lines, languages):
    out = utf16_field("".join(l + "\r\n" for l in source_lines))
    out += struct.pack("<I", len(languages))
    for name, lines in languages:
        out += utf16_field(name) + utf16_field("".join(l + "\r\n" for l in lines))
    return out


def builtin_stream(root):
    sections = []
    with open(os.path.join(root, "data/lang/monitor_texts.txt"), encoding="utf-8") as f:
        for raw in f.read().split("\n"):
            if raw.startswith("#"):
                continue
            if raw.startswith("[") and raw.endswith("]"):
                sections.append((raw[1:-1], []))
            elif raw and sections:
                sections[-1][1].append(raw)
    return language_stream(sections[0][1], sections[1:])


SMALL_LOCAL = language_stream(["OK", "Exit", "About"],
                              [("0804", ["OK=\u786e\u5b9a", "Exit=\u9000\u51fa"]), ("0409", ["OK=OK"])])


def seeds(root):
    builtin = builtin_stream(root)
    lang = {
        "builtin-raw": b"\x00" + builtin,
        "small-raw": b"\x00" + SMALL_LOCAL,
        "empty-raw": b"\x00" + language_stream([], []),
        "builtin-ui-local": b"\x01" + builtin,
        "small-ui-local": b"\x01" + SMALL_LOCAL,
        "written": b"\x02" + bytes(range(1, 120)),
    }
    return {"fuzz_language_stream": lang}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))
    args = ap.parse_args()
    for target, files in seeds(args.root).items():
        folder = os.path.join(args.root, "tests/fuzz/corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))
        for name, data in files.items():
            with open(os.path.join(folder, "seed-" + name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
