// The microphone mute through the sound server, checked with pactl against
// the test session's PulseAudio (a null source as the default source). Tests
// that need the server report "skipped" outside the session; the ones about
// a missing or silent server run anywhere.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/mute.h"
#include "platform/linux/audio_linux.h"
#include "platform/linux/posix.h"
#include "platform/message_box.h"
#include "platform/os.h"
#include "support/fake_platform.h"
#include "temp_dir.h"

namespace vxm::linuxos {
namespace {

using namespace std::chrono_literals;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string SourceMute(const std::string& source = "@DEFAULT_SOURCE@") { return Shell("pactl get-source-mute " + source); }

bool InSession() { return std::getenv("VXM_WINE_SESSION") && std::getenv("PULSE_SERVER"); }

// Counts the change callbacks and lets a test wait for the next one.
struct Notifications {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::atomic<bool> updating{false};
    std::function<void(bool)> Callback() {
        return [this](bool u) {
            updating = u;
            if (u) return;
            std::lock_guard<std::mutex> lock(mutex);
            ++count;
            changed.notify_all();
        };
    }
    // Waits for more than `seen` callbacks; the bound only keeps a broken
    // build from hanging the test run.
    bool WaitBeyond(int seen) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return count > seen; });
    }
    int Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
};

class Pulse : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InSession()) GTEST_SKIP() << "needs the test session's sound server (tests/wine/session.sh)";
        ASSERT_EQ(Shell("pactl set-source-mute @DEFAULT_SOURCE@ 0"), "");
    }
    void TearDown() override {
        if (InSession()) Shell("pactl set-source-mute @DEFAULT_SOURCE@ 0");
    }
};

TEST_F(Pulse, ToggleTwiceMutesAndUnmutesTheDefaultSource) {
    struct NoMixer final : platform::IMixer {
        unsigned GetNumDevs() override { return 0; }
        unsigned Open() override { return 1; }
        unsigned GetLineInfo(std::uint32_t, std::uint32_t&) override { return 1; }
        unsigned GetMuteControl(std::uint32_t, std::uint32_t&) override { return 1; }
        unsigned GetControlValue(std::uint32_t, std::uint32_t&) override { return 1; }
        unsigned SetControlValue(std::uint32_t, std::uint32_t) override { return 1; }
        void Close() override {}
    } mixer;
    PulseAudio audio;
    struct : platform::IMessageBox {
        void ShowMessage(u16view) override {}
        void ShowError(u16view, u16view) override {}
    } messages;
    struct : platform::IOsVersion {
        platform::OsVersion GetOsVersion() override { return {}; }  // NT 10: the endpoint path
    } os;
    fake::FakeDebugOutput debug;
    app::MicrophoneMuteControl mute({audio, mixer, messages, debug, os});
    mute.CreateAudioEndpoint();
    ASSERT_TRUE(mute.Bound());
    mute.MicrophoneMute();
    EXPECT_EQ(SourceMute(), "Mute: yes");  // acknowledged: the server has it already
    mute.MicrophoneMute();
    EXPECT_EQ(SourceMute(), "Mute: no");
    EXPECT_EQ(debug.Lines(), (std::vector<std::string>{"MicrophoneMute: muted", "MicrophoneMute: unmuted"}));
}

TEST_F(Pulse, AMuteMadeElsewhereIsSeenAndNotified) {
    PulseAudio audio;
    Notifications notes;
    auto endpoint = audio.BindDefaultCapture(notes.Callback());
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->Id(), Utf16(Shell("pactl get-default-source")));
    const int before = notes.Count();
    ASSERT_EQ(Shell("pactl set-source-mute @DEFAULT_SOURCE@ 1"), "");
    ASSERT_TRUE(notes.WaitBeyond(before));
    EXPECT_FALSE(notes.updating.load());  // raised, then lowered again
    bool muted = false;
    ASSERT_TRUE(endpoint->GetMute(muted));
    EXPECT_TRUE(muted);
    // The toggle's own change is reported too, as the endpoint's callback is on Windows.
    const int seen = notes.Count();
    ASSERT_TRUE(endpoint->SetMute(false));
    EXPECT_TRUE(notes.WaitBeyond(seen));
}

TEST_F(Pulse, TheEndpointFollowsANewDefaultSource) {
    const std::string module = Shell("pactl load-module module-null-source source_name=second_mic");
    ASSERT_FALSE(module.empty());
    const std::string original = Shell("pactl get-default-source");
    struct Restore {
        std::string module, original;
        ~Restore() {
            Shell("pactl set-default-source " + original);
            Shell("pactl unload-module " + module);
        }
    } restore{module, original};

    PulseAudio audio;
    Notifications notes;
    auto endpoint = audio.BindDefaultCapture(notes.Callback());
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->Id(), Utf16(original));
    const int before = notes.Count();
    ASSERT_EQ(Shell("pactl set-default-source second_mic"), "");
    ASSERT_TRUE(notes.WaitBeyond(before));
    EXPECT_EQ(endpoint->Id(), u"second_mic");
    EXPECT_EQ(audio.DefaultCaptureId(), u"second_mic");
    ASSERT_TRUE(endpoint->SetMute(true));
    EXPECT_EQ(SourceMute("second_mic"), "Mute: yes");
    EXPECT_EQ(SourceMute(original), "Mute: no");
}

TEST_F(Pulse, AnEndpointGoesWhileChangesArrive) {
    PulseAudio audio;
    std::atomic<bool> finished{false};
    std::thread toggler([&] {
        for (int i = 0; i < 30; ++i) Shell(std::string("pactl set-source-mute @DEFAULT_SOURCE@ ") + (i % 2 ? "0" : "1"));
        finished = true;
    });
    // Endpoints made and dropped for as long as the changes keep coming.
    for (int round = 0; round < 500 && !finished; ++round) {
        Notifications notes;
        auto endpoint = audio.BindDefaultCapture(notes.Callback());
        if (!endpoint) {
            ADD_FAILURE() << "bind failed in round " << round;
            break;
        }
        bool muted = false;
        endpoint->GetMute(muted);
        endpoint.reset();  // no callback may reach `notes` after this
    }
    toggler.join();
}

TEST(PulseUnreachable, NoServerFailsTheBindAtOnce) {
    testing::TempDir dir;
    const std::string nowhere = "unix:" + (dir / "no-such-socket");
    testing::ScopedEnv server("PULSE_SERVER", nowhere.c_str());
    PulseAudio audio;
    EXPECT_FALSE(audio.BindDefaultCapture({}));
    EXPECT_EQ(audio.DefaultCaptureId(), u"");
    EXPECT_FALSE(audio.BindDefaultCapture({}));  // and again, after a failure
}

TEST(PulseUnreachable, AServerThatNeverAnswersFailsTheBindWithinItsBound) {
    // A socket that takes connections into its backlog and never speaks.
    testing::TempDir dir;
    const std::string path = dir / "silent";
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 8), 0);
    testing::ScopedEnv server("PULSE_SERVER", ("unix:" + path).c_str());
    PulseAudio audio(PulseTimeouts{200ms, 200ms});
    EXPECT_FALSE(audio.BindDefaultCapture({}));
    EXPECT_EQ(audio.DefaultCaptureId(), u"");
}

}  // namespace
}  // namespace vxm::linuxos
