// The hook component and the recorders, fed by a fake hook library with
// virtual time stamps.
#include <gtest/gtest.h>

#include "hook/hook.h"
#include "support/fake_hid.h"
#include "support/fake_hook.h"

namespace vxm {
namespace {

using fake::FakeHookLibrary;
constexpr unsigned kDown = 0x201, kUp = 0x202, kWheel = 0x20A, kMove = 0x200;

struct HookRig : ::testing::Test {
    FakeHookLibrary lib;
    fake::FakeDispatcher main;
    std::vector<std::pair<std::string, std::string>> errors;
    std::unique_ptr<TuiHook> hook;
    void SetUp() override { Make(); }
    void Make() {
        hook.reset();
        hook = std::make_unique<TuiHook>(HookDependencies{
            lib, main, [this](u16view t, u16view c) { errors.emplace_back(Utf8(t), Utf8(c)); }, false});
    }
};

TEST(KeyTables, TextsOfStandardAndExtendedKeys) {
    EXPECT_EQ(GetKeyDescription(0xA3, 1), u"R CTRL");
    EXPECT_EQ(GetKeyDescription(0x2D, 1), u"INS");
    EXPECT_EQ(GetKeyDescription(0x2D, 0), u"Keypad 0 Insert");
    EXPECT_EQ(GetKeyDescription(0x2D, 225), u"INS");
    EXPECT_EQ(GetKeyDescription(0x41, 0), u"A");
    EXPECT_EQ(GetKeyDescription(0x70, 0), u"F1");
    EXPECT_EQ(GetKeyDescription(0x87, 0), u"F24");
    EXPECT_EQ(GetKeyDescription(0x07, 0), u"Undefined");
    EXPECT_EQ(GetKeyDescription(0x41, 1), u"UNDEFINED_041") << "an extended key without an extended row";
    EXPECT_EQ(GetKeyDescription(0x12C, 0), u"");
    EXPECT_EQ(GetKeyDescription(-1, 0), u"");
    EXPECT_EQ(GetKeyDescription(0xC0, 0), u"~`");
    EXPECT_EQ(GetKeyDescription(0xDC, 0), u"\\|");
    const auto& std = KeyboardInfoTable();
    EXPECT_EQ(std[0x00].VKName, u"VK_NULL");
    EXPECT_EQ(std[0x5D].VKName, u"VK_APP");
    EXPECT_EQ(std[0xE0].VKName, u"VK_UNDEFINED_E0");
    EXPECT_EQ(std[299].VKName, u"VK_UNDEFINED_12B");
    EXPECT_EQ(std[0x41].HIDCode, 4);
    EXPECT_EQ(std[0x1B].HIDCode, 41);
    EXPECT_EQ(std[0x70].HIDCode, 58);
    EXPECT_EQ(std[0xAD].HIDCode, 226);
    EXPECT_EQ(std[0xB3].HIDCode, 205);
    EXPECT_EQ(std[0xB4].HIDCode, 394);
    EXPECT_EQ(std[0x21].HIDCode, 97);
    EXPECT_EQ(std[0xBA].ScanCode, 39);
    EXPECT_EQ(std[0xE2].ScanCode, 86);
    EXPECT_EQ(std[0xA3].Extended, 225);
    EXPECT_EQ(std[0xA2].Extended, 224);
    EXPECT_EQ(ExtendedKeyboardInfoTable()[0x2E].HIDCode, 76);
    EXPECT_EQ(GetMouseButtonDescription(TMouseButtons::XCLICK4), u"Backward(Mouse) ");
    EXPECT_EQ(GetMouseButtonDescription(TMouseButtons::BUTTONX1), u"");
}

TEST_F(HookRig, MissingLibraryShowsTheMessageAtEveryCreation) {
    hook.reset();
    lib.loadResult = platform::HookLibraryLoad::Missing;
    Make();
    EXPECT_FALSE(hook->DLLLoaded());
    Make();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], std::make_pair(std::string("uiHook.dll can not be found!"), std::string("Error")));
    hook->StartHookKeyboard();
    EXPECT_EQ(lib.keyboardEnables, 0);
    lib.loadResult = platform::HookLibraryLoad::IncompleteExports;
    Make();
    EXPECT_EQ(errors.size(), 2u) << "missing exports: unloaded without a message";
    EXPECT_FALSE(hook->DLLLoaded());
}

TEST_F(HookRig, RegisteredKeysFirstMatchOnlyBlockPresetAndEndMarker) {
    int all = 0;
    std::vector<std::pair<int, bool>> seen;
    hook->OnHookKeyboardAllKey = [&](int, int, int, bool&, std::uint32_t) { ++all; };
    hook->OnHookKeyboardKey = [&](int key, int, int, bool& blocked, std::uint32_t) { seen.emplace_back(key, blocked); };
    hook->StartHookKeyboard();
    hook->StartHookKeyboard();
    EXPECT_EQ(lib.keyboardEnables, 2);
    auto add = [&](int vk, int scan, int ext, int block) {
        auto o = std::make_unique<TKeyBoardHookDetailObject>();
        o->FKeyBoardHookDetail = {vk, scan, ext, block};
        hook->AddKeyboardHookObject(std::move(o));
    };
    add(0x41, 0, 0, 1);
    add(0x41, 0, 0, 0);
    add(0, 0x30, 0, 0);
    EXPECT_TRUE(lib.Key(0x41, false, 1));
    lib.Key(0x42, false, 2, false, 0x30);  // by scan code
    EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{{0x41, true}, {0x42, false}}));
    hook->RemoveAllKeyboardHookObject();
    add(-1, 0, 0, 0);
    add(0x41, 0, 0, 0);
    lib.Key(0x41, false, 3);
    EXPECT_EQ(seen.size(), 2u) << "-1 ends the list";
    EXPECT_EQ(all, 3);
}

TEST_F(HookRig, MouseHookDecodingInjectedClicksAndTheWideButtonComparison) {
    std::vector<std::pair<int, int>> allButtons;  // button, extra
    hook->OnHookMouseAllButton = [&](TMouseButtons b, int, std::int16_t extra, bool&) {
        allButtons.emplace_back(static_cast<int>(b), extra);
    };
    int moves = 0;
    hook->OnHookMouseMove = [&](int, int, double) { ++moves; };
    std::vector<int> registered;
    hook->OnHookMouseButton = [&](TMouseButtons b, int, bool& blocked) {
        registered.push_back(static_cast<int>(b));
        blocked = true;
    };
    auto o = std::make_unique<TMouseHookDetailObject>();
    o->FMouseHookDetail.MouseButton = TMouseButtons::WHEELDOWN;
    o->FMouseHookDetail.MouseStateSet = 1u << 1;  // LBUTTONDOWN
    hook->AddMouseHookObject(std::move(o));
    hook->StartHookMouse();
    EXPECT_TRUE(lib.Mouse(kDown, 1)) << "LCLICK is not greater than WHEELDOWN: it matches";
    EXPECT_FALSE(lib.Mouse(kDown, 2, 0, 0, 0, true)) << "injected clicks fire nothing";
    lib.Mouse(kWheel, 3, 0, 0, 120);
    lib.Mouse(kWheel, 4, 0, 0, 240);
    lib.Mouse(kWheel, 5, 0, 0, -120);
    EXPECT_FALSE(lib.Mouse(kMove, 6));
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(allButtons, (std::vector<std::pair<int, int>>{{1, 0}, {6, 120}, {6, 240}, {7, -120}}));
    EXPECT_EQ(registered, (std::vector<int>{1}));
}

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

struct MacroEvents {
    std::vector<std::string> lines;
    TOnRecordKeyboardMacroKey Handler() {
        return [this](int type, int key, int state, int, double, const u16& text, const u16& stateText, TMacroKeyList&) {
            lines.push_back(std::to_string(type) + ":" + std::to_string(key) + ":" + std::to_string(state) + ":" +
                            Utf8(text) + ":" + Utf8(stateText));
        };
    }
};

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

TEST_F(HookRig, DeferredRecordsAreReportedOnTheMainThread) {
    int reported = 0;
    hook->OnRecordKeyboardMacroKey = [&](int, int key, int, int, double, const u16&, const u16&, TMacroKeyList&) {
        reported = key;
    };
    TMacroKeyObject entry;
    entry.FMacroKey.nKeyValue = 0x51;
    hook->QueueRecord(1, &entry);
    ASSERT_TRUE(main.WaitForCall(2000));
    main.RunPending();
    EXPECT_EQ(reported, 0x51);
}

}  // namespace
}  // namespace vxm
