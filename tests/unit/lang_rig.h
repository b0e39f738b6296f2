#pragma once
// The language component over the fake locale support and files: a language
// data stream built byte by byte (not by the codec under test), and a fixture
// that starts every test from an empty translation state.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "lang/language.h"
#include "lang/translate.h"
#include "support/fake_locale.h"
#include "support/fake_platform.h"

namespace vxm::lang_rig {

inline std::vector<std::uint8_t> Stream(const std::vector<std::pair<u16, u16>>& parts, std::optional<std::uint32_t> count = {}) {
    // parts[0].second is the source text; the rest are (name, table text).
    std::vector<std::uint8_t> out;
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto str = [&](const u16& s) {
        u32(static_cast<std::uint32_t>(s.size()));
        for (char16_t c : s) {
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    };
    str(parts[0].second);
    u32(count.value_or(static_cast<std::uint32_t>(parts.size() - 1)));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        str(parts[i].first);
        str(parts[i].second);
    }
    return out;
}

struct Lang : ::testing::Test {
    fake::FakeNationalLanguage nls;
    fake::FakePlatform p;
    void SetUp() override {
        ResetTranslationState();
        TuiLanguage::ResetProcessState();
    }
    void TearDown() override { ResetTranslationState(); }
    LanguageDependencies Deps(bool designing = false) {
        return LanguageDependencies{nls, p.files, p.paths.exeFolder, u"VXMMON.EXE", designing, nullptr};
    }
};

}  // namespace vxm::lang_rig
