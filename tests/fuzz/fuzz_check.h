#pragma once
// What the fuzz targets share: a property check that stops the run with a
// clear message (libFuzzer then saves the input), and helpers that turn the
// fuzzer's bytes into texts.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/text.h"

#define FUZZ_CHECK(cond, ...)                                                          \
    do {                                                                               \
        if (!(cond)) {                                                                 \
            std::fprintf(stderr, "\nPROPERTY VIOLATED at %s:%d: %s\n  ", __FILE__, __LINE__, #cond); \
            std::fprintf(stderr, __VA_ARGS__);                                         \
            std::fprintf(stderr, "\n");                                                \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

namespace vxm::fuzz {

// UTF-16 text of at most `maxUnits` units, any unit value (lone surrogates,
// NULs and line breaks included).
inline u16 Units(FuzzedDataProvider& in, std::size_t maxUnits) {
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
    u16 s;
    for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) s.push_back(in.ConsumeIntegral<char16_t>());
    return s;
}

// Mostly printable text: units drawn from a small alphabet that holds the
// characters the formats give meaning to, so that the fuzzer meets them often.
inline u16 Text(FuzzedDataProvider& in, std::size_t maxUnits) {
    static const char16_t kAlphabet[] = u"ab=\r\n;[] \t\"'\\*0123456789ABxyz\u00e9\u786e\u5b9a\u2028\0";
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
    u16 s;
    for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
        const auto pick = in.ConsumeIntegral<std::uint8_t>();
        s.push_back(pick < 200 ? kAlphabet[pick % (sizeof(kAlphabet) / sizeof(char16_t))]
                               : static_cast<char16_t>(in.ConsumeIntegral<char16_t>()));
    }
    return s;
}

inline std::string Show(u16view s) {
    std::string out;
    for (char16_t c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

}  // namespace vxm::fuzz
