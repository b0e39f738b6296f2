// The recorders: key combinations and their 100 ms window, keyboard macros
// with their delays, the extended macro, mouse macros, and who frees what.
#include <gtest/gtest.h>

#include "unit/hook_rig.h"

namespace vxm {
namespace {

using namespace hook_rig;

struct MacroEvents {
    std::vector<std::string> lines;
    TOnRecordKeyboardMacroKey Handler() {
        return [this](int type, int key, int state, int, double, const u16& text, const u16& stateText, TMacroKeyList&) {
            lines.push_back(std::to_string(type) + ":" + std::to_string(key) + ":" + std::to_string(state) + ":" +
                            Utf8(text) + ":" + Utf8(stateText));
        };
    }
};

TEST_F(HookRig, CombinationsModifierOrderAndThe100msWindow) {
    std::vector<std::string> texts;
    hook->OnRecordKeyboardComboKey = [&](int, int, int, int, int, const u16& text) { texts.push_back(Utf8(text)); };
    hook->RecordKeyboardComboKey();
    lib.down = {0xA0, 0xA2};  // Shift and Ctrl held
    EXPECT_FALSE(lib.Key(0xA2, false, 1000)) << "a modifier alone passes through";
    EXPECT_TRUE(lib.Key(0x41, false, 1010));
    lib.down.clear();
    lib.Key(0x41, false, 2000);
    lib.Key(0x42, false, 2100);  // 100 ms: joins
    lib.Key(0x43, false, 2201);  // 101 ms: new combination
    lib.Key(0x43, true, 2202);
    EXPECT_EQ(texts, (std::vector<std::string>{"Ctrl+Shift+A", "A", "A+B", "C"}));
    EXPECT_EQ(hook->ComboKeyInfo().nKeyValue1, 0x43);
    EXPECT_EQ(hook->ComboKeyInfo().nKeyValue2, 0);
}

TEST_F(HookRig, CombinationWindowSurvivesTheCounterWrap) {
    std::vector<std::string> texts;
    hook->OnRecordKeyboardComboKey = [&](int, int, int, int, int, const u16& text) { texts.push_back(Utf8(text)); };
    hook->RecordKeyboardComboKey();
    lib.Key(0x41, false, 0xFFFFFFF0u);
    lib.Key(0x42, false, 0x00000030u);  // 64 ms later, across the wrap
    EXPECT_EQ(texts, (std::vector<std::string>{"A", "A+B"}));
}

TEST_F(HookRig, KeyboardMacroDownDelayUpAndTheKeyAfterA65msDelay) {
    MacroEvents ev;
    hook->OnRecordKeyboardMacroKey = ev.Handler();
    hook->RecordKeyboardMacroKey();
    EXPECT_TRUE(lib.Key(0x41, false, 5000));
    lib.Key(0x41, true, 5150);
    EXPECT_EQ(ev.lines, (std::vector<std::string>{"1:65:1:A:Down", "0:150:0:150:ms", "1:65:0:A:Up"}));
    ev.lines.clear();
    lib.Key(0x41, false, 5150 + 65);  // the delay equals the key's code 0x41
    ASSERT_EQ(ev.lines.size(), 2u);
    EXPECT_EQ(ev.lines[1], "1:65:1:A:Down") << "the key is never dropped";
    EXPECT_EQ(hook->MacroKeyList().size(), 5u);
    EXPECT_EQ(hook->MacroKeyList()[4].first, u"4");
}

TEST_F(HookRig, KeyboardMacroDelayAcrossTheCounterWrapAndDroppedDelays) {
    MacroEvents ev;
    hook->OnRecordKeyboardMacroKey = ev.Handler();
    hook->RecordKeyboardMacroKey();
    lib.Key(0x41, false, 0xFFFFFF00u);
    lib.Key(0x41, true, 0x00000064u);  // 356 ms later
    lib.Key(0x42, false, 0x00000064u + 5);    // 5 ms: dropped
    lib.Key(0x42, true, 0x00000064u + 5 + 3000);  // 3 s: dropped
    EXPECT_EQ(ev.lines[1], "0:356:0:356:ms");
    EXPECT_EQ(ev.lines.size(), 5u);
}

TEST_F(HookRig, StoppingWithoutAHandlerFreesTheEntriesAndAHandlerMayKeepThem) {
    MacroEvents ev;
    hook->OnRecordKeyboardMacroKey = ev.Handler();
    hook->RecordKeyboardMacroKey();
    lib.Key(0x41, false, 100);
    hook->StopRecordKeyboardMacroKey();
    EXPECT_TRUE(hook->MacroKeyList().empty());
    EXPECT_FALSE(lib.KeyboardActive());

    TMacroKeyList kept;
    hook->OnStopRecordKeyboardMacroKey = [&](TMacroKeyList& list) { kept = std::move(list); };
    hook->RecordKeyboardMacroKey();
    lib.Key(0x42, false, 200);
    hook->StopRecordKeyboardMacroKey();
    ASSERT_EQ(kept.size(), 2u);  // a delay of 100 ms and the key
    EXPECT_EQ(kept[1].second->FMacroKey.nKeyValue, 0x42);
}

TEST_F(HookRig, ExtendedMacroAutoRepeatClampAndTheFullList) {
    std::vector<std::string> lines;
    hook->OnRecordKeyboardMacroKeyEx = [&](int, int key, int state, int, double, std::uint32_t total, const u16&,
                                           const u16& st, TMacroKeyList&) {
        lines.push_back(std::to_string(key) + ":" + std::to_string(state) + ":" + std::to_string(total) + ":" + Utf8(st));
    };
    hook->RecordKeyboardMacroKeyEx();
    lib.Key(0x41, false, 1000);
    lib.Key(0x41, false, 1500);  // auto-repeat
    lib.Key(0x41, false, 1530);
    lib.Key(0x41, true, 1600);
    EXPECT_EQ(lines, (std::vector<std::string>{"65:1:0:Down", "65:0:600:Up"}));
    const auto& list = hook->MacroKeyList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].second->FMacroKey.nKeyValue, 600) << "delay since the first Down";

    lib.Key(0x42, false, 1600 + 70000);
    EXPECT_EQ(list[3].second->FMacroKey.nKeyValue, 65535);

    hook->RecordKeyboardMacroKeyEx();
    std::uint32_t t = 10;
    while (hook->MacroKeyList().size() <= 500) {
        lib.Key(0x43, false, t += 20);
        lib.Key(0x43, true, t += 20);
    }
    EXPECT_EQ(hook->MacroKeyList().size(), 501u);
    EXPECT_FALSE(lib.Key(0x44, false, t + 20)) << "a full list stops recording and blocking";
    EXPECT_EQ(hook->MacroKeyList().size(), 501u);
}

TEST_F(HookRig, MouseMacroWheelReversedDelaysClampedAndClicksNotBlocked) {
    std::vector<std::string> lines;
    hook->OnRecordMouseMacroKey = [&](int type, TMouseButtons b, int state, std::uint16_t x, std::uint16_t, double,
                                      const u16& text, const u16& st, TMouseMacroKeyList&) {
        lines.push_back(std::to_string(type) + ":" + std::to_string(static_cast<int>(b)) + ":" + std::to_string(state) +
                        ":" + std::to_string(x) + ":" + Utf8(text) + ":" + Utf8(st));
    };
    hook->RecordMouseMacro();
    EXPECT_FALSE(lib.Mouse(kDown, 1000, 5)) << "recorded clicks still reach their targets";
    lib.Mouse(kWheel, 71000, -40, 0, 120);  // a notch forward, 70 s later, left of the screen
    lib.Mouse(kWheel, 71010, 70000, 0, -120);
    lib.Mouse(kUp, 71020, 5, 0, 0, true);  // injected: ignored
    EXPECT_EQ(lines, (std::vector<std::string>{"1:1:1:5:Mouse Click:Down", "0:0:0:0:70000:ms",
                                                "1:7:1:0:Wheel Down(Mouse):Down", "0:0:0:65535:10:ms",
                                                "1:6:1:65535:Wheel up(Mouse):Down"}));
    EXPECT_EQ(hook->MouseMacroKeyList()[1].second->FMOUSEMacroKey.TimeValue, 65535);
    int stopped = 0;
    hook->OnStopRecordMouseMacroKey = [&](TMouseMacroKeyList& l) { stopped = static_cast<int>(l.size()); };
    hook->StopRecordMouseMacro();
    EXPECT_EQ(stopped, 5);
    EXPECT_EQ(hook->MouseMacroKeyList().size(), 5u) << "kept until the next recording";
}

}  // namespace
}  // namespace vxm
