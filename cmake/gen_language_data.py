#!/usr/bin/env python3
"""Turns the readable language source (one text per line) into the language
data stream that the language component reads, as a C++ byte array.

    gen_language_data.py INPUT.txt OUTPUT.cpp SYMBOL
"""
import struct
import sys


def utf16(text):
    return text.encode("utf-16-le")


def string_field(text):
    data = utf16(text)
    return struct.pack("<i", len(data) // 2) + data


def main():
    src, out, symbol = sys.argv[1], sys.argv[2], sys.argv[3]
    sections = []  # (name, [lines])
    with open(src, encoding="utf-8") as f:
        for raw in f.read().split("\n"):
            if raw.startswith("#"):
                continue
            if raw.startswith("[") and raw.endswith("]"):
                sections.append((raw[1:-1], []))
                continue
            if raw == "" or not sections:
                continue
            sections[-1][1].append(raw)
    if not sections or sections[0][0] != "source":
        sys.exit("%s: the first section must be [source]" % src)
    stream = string_field("".join(line + "\r\n" for line in sections[0][1]))
    languages = sections[1:]
    stream += struct.pack("<I", len(languages))
    for name, lines in languages:
        stream += string_field(name)
        stream += string_field("".join(line + "\r\n" for line in lines))
    with open(out, "w", encoding="ascii") as f:
        f.write("// Generated from %s; do not edit.\n" % src.replace("\\", "/").split("/")[-1])
        f.write("#include <cstddef>\n#include <cstdint>\n\nnamespace vxm {\n\n")
        f.write("extern const std::uint8_t %s[];\nextern const std::size_t %sSize;\n" % (symbol, symbol))
        f.write("const std::uint8_t %s[] = {\n" % symbol)
        for i in range(0, len(stream), 16):
            f.write("    " + ", ".join("0x%02x" % b for b in stream[i:i + 16]) + ",\n")
        f.write("};\nconst std::size_t %sSize = %d;\n\n}  // namespace vxm\n" % (symbol, len(stream)))


if __name__ == "__main__":
    main()
