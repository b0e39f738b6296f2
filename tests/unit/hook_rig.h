#pragma once
// The hook component over a fake hook library that feeds it records with
// time stamps the test chooses, and a test-driven main thread.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hook/hook.h"
#include "support/fake_hid.h"
#include "support/fake_hook.h"

namespace vxm::hook_rig {

using fake::FakeHookLibrary;
inline constexpr unsigned kDown = 0x201, kUp = 0x202, kWheel = 0x20A, kMove = 0x200;

struct HookRig : ::testing::Test {
    FakeHookLibrary lib;
    fake::FakeDispatcher main;
    std::vector<std::pair<std::string, std::string>> errors;
    std::vector<std::string> exceptions;  // what the record handlers raised
    std::unique_ptr<TuiHook> hook;
    void SetUp() override { Make(); }
    void Make() {
        hook.reset();
        hook = std::make_unique<TuiHook>(HookDependencies{
            lib, main, [this](u16view t, u16view c) { errors.emplace_back(Utf8(t), Utf8(c)); }, false,
            [this](u16view t) { exceptions.push_back(Utf8(t)); }});
    }
};

}  // namespace vxm::hook_rig
