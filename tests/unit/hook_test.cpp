// The hook component: the library's binding, registered keys and buttons,
// the mouse decoding, the records handed to the main thread.
#include <gtest/gtest.h>

#include <stdexcept>

#include "unit/hook_rig.h"

namespace vxm {
namespace {

using namespace hook_rig;

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
    lib.loadResult = platform::HookLibraryLoad::NotOnThisSystem;
    Make();
    EXPECT_EQ(errors.size(), 2u) << "no such library on this system: nothing to say";
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

// A handler that throws must not end the program from the worker thread, nor
// cost the records after it; a full main-thread queue delays records, never
// drops them.
TEST_F(HookRig, AFailingHandlerOrAFullQueueLosesNoRecordAndEndsNothing) {
    std::vector<int> reported;
    hook->OnRecordKeyboardMacroKey = [&](int, int key, int, int, double, const u16&, const u16&, TMacroKeyList&) {
        reported.push_back(key);
        if (key == 0x51) throw std::runtime_error("handler failed");
        if (key == 0x52) throw 7;
    };
    TMacroKeyObject q, r, s;
    q.FMacroKey.nKeyValue = 0x51;
    r.FMacroKey.nKeyValue = 0x52;
    s.FMacroKey.nKeyValue = 0x53;
    main.refusals = 3;
    hook->QueueRecord(1, &q);
    hook->QueueRecord(1, &r);
    hook->QueueRecord(1, &s);
    for (int i = 0; i < 100 && reported.size() < 3; ++i) {
        if (main.WaitForCall(50)) main.RunPending();
    }
    EXPECT_EQ(reported, (std::vector<int>{0x51, 0x52, 0x53}));
    EXPECT_EQ(exceptions, (std::vector<std::string>{"handler failed", "Unknown exception in a record handler"}));
    EXPECT_EQ(main.refused.load(), 3);

    // The worker still hands records over afterwards.
    TMacroKeyObject t;
    t.FMacroKey.nKeyValue = 0x54;
    hook->QueueRecord(1, &t);
    ASSERT_TRUE(main.WaitForCall(2000));
    main.RunPending();
    EXPECT_EQ(reported.back(), 0x54);
}

}  // namespace
}  // namespace vxm
