// The microphone mute through the sound server, checked with pactl against
// the test session's PulseAudio (a null source as the default source). Tests
// that need the server report "skipped" outside the session; the ones about
// a missing or silent server run anywhere.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
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

// Collects a session's reports and lets a test wait for one.
struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<platform::AudioEvent> events;
    platform::AudioEventSink Sink() {
        return [this](const platform::AudioEvent& e) {
            std::lock_guard<std::mutex> lock(mutex);
            events.push_back(e);
            changed.notify_all();
        };
    }
    // Waits for a report after the first `seen` that `match` accepts; the
    // bound only keeps a broken build from hanging the test run.
    template <typename Match>
    bool WaitFor(std::size_t seen, Match match) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 10s, [&] {
            for (std::size_t i = seen; i < events.size(); ++i) {
                if (match(events[i])) return true;
            }
            return false;
        });
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }
};

using Kind = platform::AudioEvent::Kind;

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

TEST_F(Pulse, ToggleTwiceMutesAndUnmutesTheDefaultSourceInOneCallEach) {
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
    std::atomic<int> posts{0};
    app::MicrophoneMuteControl mute({audio, mixer, messages, debug, os}, [&] { ++posts; });
    mute.CreateAudioEndpoint();
    ASSERT_TRUE(mute.Bound());
    // Connected in the background: the first report makes the state known.
    for (int i = 0; i < 1000 && mute.ReadState() == app::MicrophoneState::Unknown; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(mute.ReadState(), app::MicrophoneState::Live);
    mute.MicrophoneMute();
    EXPECT_EQ(SourceMute(), "Mute: yes");  // acknowledged: the server has it already
    mute.MicrophoneMute();
    EXPECT_EQ(SourceMute(), "Mute: no");
    EXPECT_EQ(debug.Lines(), (std::vector<std::string>{"MicrophoneMute: muted", "MicrophoneMute: unmuted"}));
    EXPECT_GE(posts.load(), 1);
}

TEST_F(Pulse, ChangesMadeElsewhereAreReportedWithTheirState) {
    PulseAudio audio;
    Reports reports;
    auto session = audio.Open(reports.Sink());
    ASSERT_TRUE(session);
    const u16 original = Utf16(Shell("pactl get-default-source"));
    ASSERT_TRUE(reports.WaitFor(0, [&](const platform::AudioEvent& e) {
        return e.kind == Kind::Snapshot && e.defaultId == original &&
               std::any_of(e.endpoints.begin(), e.endpoints.end(), [&](const platform::CaptureEndpoint& p) {
                   return p.id == original && !p.muted && !p.monitor;
               }) &&
               std::any_of(e.endpoints.begin(), e.endpoints.end(),
                           [](const platform::CaptureEndpoint& p) { return p.monitor; });
    })) << "the session's sources, the sink's monitor marked";
    std::size_t seen = reports.Count();
    ASSERT_EQ(Shell("pactl set-source-mute @DEFAULT_SOURCE@ 1"), "");
    ASSERT_TRUE(reports.WaitFor(seen, [&](const platform::AudioEvent& e) {
        return e.kind == Kind::Changed && e.endpoint.id == original && e.endpoint.muted;
    }));
    // The toggle's own change is reported too, as the endpoint's callback is on Windows.
    seen = reports.Count();
    EXPECT_EQ(session->SetMute({platform::kDefaultCapture}, false),
              std::vector<platform::MuteSetResult>{platform::MuteSetResult::Done});
    EXPECT_TRUE(reports.WaitFor(seen, [&](const platform::AudioEvent& e) {
        return e.kind == Kind::Changed && e.endpoint.id == original && !e.endpoint.muted;
    }));
    // A read reports everything again, in order with the rest.
    seen = reports.Count();
    EXPECT_TRUE(session->Refresh());
    EXPECT_TRUE(reports.WaitFor(seen, [](const platform::AudioEvent& e) { return e.kind == Kind::Snapshot; }));
    EXPECT_EQ(session->SetMute({u"no_such_source"}, true),
              std::vector<platform::MuteSetResult>{platform::MuteSetResult::Refused});
}

TEST_F(Pulse, ASecondSourceIsReportedAsItComesBecomesTheDefaultAndGoes) {
    PulseAudio audio;
    Reports reports;
    auto session = audio.Open(reports.Sink());
    ASSERT_TRUE(session);
    ASSERT_TRUE(reports.WaitFor(0, [](const platform::AudioEvent& e) { return e.kind == Kind::Snapshot; }));
    std::size_t seen = reports.Count();
    const std::string module =
        Shell("pactl load-module module-null-source source_name=second_mic description=Second");
    ASSERT_FALSE(module.empty());
    const std::string original = Shell("pactl get-default-source");
    struct Restore {
        std::string module, original;
        ~Restore() {
            Shell("pactl set-default-source " + original);
            Shell("pactl unload-module " + module);
        }
    } restore{module, original};
    ASSERT_TRUE(reports.WaitFor(seen, [](const platform::AudioEvent& e) {
        return e.kind == Kind::Changed && e.endpoint.id == u"second_mic" && e.endpoint.name == u"Second";
    }));
    seen = reports.Count();
    ASSERT_EQ(Shell("pactl set-default-source second_mic"), "");
    ASSERT_TRUE(reports.WaitFor(seen, [](const platform::AudioEvent& e) {
        return e.kind == Kind::DefaultChanged && e.defaultId == u"second_mic";
    }));
    ASSERT_EQ(session->SetMute({platform::kDefaultCapture}, true),
              std::vector<platform::MuteSetResult>{platform::MuteSetResult::Done});
    EXPECT_EQ(SourceMute("second_mic"), "Mute: yes");
    EXPECT_EQ(SourceMute(original), "Mute: no");
    // Both at once, in one call.
    EXPECT_EQ(session->SetMute({Utf16(original), u"second_mic"}, false),
              (std::vector<platform::MuteSetResult>{platform::MuteSetResult::Done, platform::MuteSetResult::Done}));
    EXPECT_EQ(SourceMute("second_mic"), "Mute: no");
    seen = reports.Count();
    Shell("pactl set-default-source " + original);
    Shell("pactl unload-module " + module);
    EXPECT_TRUE(reports.WaitFor(seen, [](const platform::AudioEvent& e) {
        return e.kind == Kind::Removed && e.endpoint.id == u"second_mic";
    }));
}

TEST_F(Pulse, SessionsGoWhileChangesArrive) {
    PulseAudio audio;
    std::atomic<bool> finished{false};
    std::thread toggler([&] {
        for (int i = 0; i < 30; ++i) Shell(std::string("pactl set-source-mute @DEFAULT_SOURCE@ ") + (i % 2 ? "0" : "1"));
        finished = true;
    });
    // Sessions made and dropped for as long as the changes keep coming.
    for (int round = 0; round < 500 && !finished; ++round) {
        Reports reports;
        auto session = audio.Open(reports.Sink());
        if (!session) {
            ADD_FAILURE() << "open failed in round " << round;
            break;
        }
        if (round % 2) reports.WaitFor(0, [](const platform::AudioEvent& e) { return e.kind == Kind::Snapshot; });
        session->SetMute({platform::kDefaultCapture}, round % 3 == 0);
        session.reset();  // no report may reach `reports` after this
    }
    toggler.join();
}

TEST(PulseUnreachable, NoServerIsReportedOnceAndEveryCallFailsAtOnce) {
    testing::TempDir dir;
    const std::string nowhere = "unix:" + (dir / "no-such-socket");
    testing::ScopedEnv server("PULSE_SERVER", nowhere.c_str());
    std::vector<std::string> said;
    std::mutex saidMutex;
    PulseAudio audio(PulseTimeouts{}, [&](const std::string& t) {
        std::lock_guard<std::mutex> lock(saidMutex);
        said.push_back(t);
    });
    Reports reports;
    auto session = audio.Open(reports.Sink());
    ASSERT_TRUE(session) << "it keeps trying in the background";
    ASSERT_TRUE(reports.WaitFor(0, [](const platform::AudioEvent& e) { return e.kind == Kind::Lost; }));
    EXPECT_FALSE(session->Refresh());
    EXPECT_EQ(session->SetMute({platform::kDefaultCapture}, true),
              std::vector<platform::MuteSetResult>{platform::MuteSetResult::NotConnected});
    // Tried again and again (0.2, 0.4, 0.8 s ...), said and reported once.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(reports.Count(), 1u);
    std::lock_guard<std::mutex> lock(saidMutex);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("no sound server: ", 0), 0u) << said[0];
}

TEST(PulseUnreachable, AServerThatNeverAnswersCountsAsNoneAndHoldsUpNothing) {
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
    PulseAudio audio;
    Reports reports;
    auto session = audio.Open(reports.Sink());
    ASSERT_TRUE(session);
    EXPECT_FALSE(session->Refresh());
    EXPECT_EQ(session->SetMute({platform::kDefaultCapture}, true),
              std::vector<platform::MuteSetResult>{platform::MuteSetResult::NotConnected});
    EXPECT_TRUE(reports.WaitFor(0, [](const platform::AudioEvent& e) { return e.kind == Kind::Lost; }))
        << "no answer to the connection: no server";
}

}  // namespace
}  // namespace vxm::linuxos
