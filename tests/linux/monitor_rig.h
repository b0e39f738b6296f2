#pragma once
// The rig of the end-to-end tests and the latency benchmark of vxmmon: the
// program started as a child with its standard error read line by line, a
// stand-in device at the hidraw seam (one end of a SOCK_SEQPACKET socket
// pair, the other end inherited by the child), and a connection of the test
// to the session bus that plays the configuration application and, when
// asked, the panel's StatusNotifierWatcher.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vxm::testing {

using Clock = std::chrono::steady_clock;

// Whether the test session (tests/wine/session.sh) is there: its session bus and PulseAudio.
inline bool InSession() { return std::getenv("VXM_WINE_SESSION") && std::getenv("DBUS_SESSION_BUS_ADDRESS"); }

inline std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        ::pclose(p);
    }
    return out;
}

// "yes" or "no": the mute of the sound server's default source, as pactl tells it.
inline std::string PactlSourceMute() {
    const std::string out = Shell("pactl get-source-mute @DEFAULT_SOURCE@ 2>/dev/null");
    if (out.find("yes") != std::string::npos) return "yes";
    if (out.find("no") != std::string::npos) return "no";
    return "unknown: " + out;
}

// The child program with its standard error collected.
class Child {
public:
    // `keepFd` (when >= 0) is inherited as it is; `env` entries "NAME=value" are set.
    Child(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
          int keepFd = -1) {
        int err[2];
        if (::pipe2(err, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(err[1], 2);
            if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
            for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(err[1]);
        reader_ = std::thread([this, fd = err[0]] {
            char buffer[4096];
            std::string partial;
            for (;;) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) break;
                partial.append(buffer, static_cast<std::size_t>(n));
                std::size_t end;
                while ((end = partial.find('\n')) != std::string::npos) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    lines_.push_back(partial.substr(0, end));
                    partial.erase(0, end + 1);
                    changed_.notify_all();
                }
            }
            ::close(fd);
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
            changed_.notify_all();
        });
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            Wait(std::chrono::seconds(5));
        }
        if (reader_.joinable()) reader_.join();
    }
    pid_t Pid() const { return pid_; }
    void Signal(int sig) const { ::kill(pid_, sig); }

    // Lines that contain `text` so far.
    int Count(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const std::string& l : lines_) n += l.find(text) != std::string::npos;
        return n;
    }
    // Waits until `count` lines contain `text`; the last of them, or "" on time-out.
    std::string WaitLine(const std::string& text, int count = 1, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::string found;
        changed_.wait_for(lock, timeout, [&] {
            int n = 0;
            for (const std::string& l : lines_) {
                if (l.find(text) != std::string::npos && ++n == count) {
                    found = l;
                    return true;
                }
            }
            return closed_;
        });
        return found;
    }
    // What it wrote, all of it once it closed standard error (or at the time-out).
    std::string AllOnceClosed(std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, timeout, [&] { return closed_; });
        }
        return All();
    }
    std::string All() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string all;
        for (const std::string& l : lines_) all += l + "\n";
        return all;
    }
    // The exit code, or -1 when it did not end in time (-2 for a signal).
    int Wait(std::chrono::milliseconds timeout) {
        const auto until = Clock::now() + timeout;
        while (!exited_) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exited_ = true;
                code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
                break;
            }
            if (Clock::now() > until) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return code_;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int code_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool closed_ = false;
};

// The test's own connection to the session bus.
class BusPeer {
public:
    struct SignalSeen {
        std::string member;
        std::int64_t value = 0;
    };

    BusPeer() {
        if (sd_bus_open_user(&bus_) < 0) bus_ = nullptr;
        if (!bus_) return;
        sd_bus_add_match(bus_, nullptr,
                         "type='signal',interface='io.github.vxmmon.TVXMMONMAIN',path='/io/github/vxmmon/TVXMMONMAIN'",
                         &BusPeer::OnSignal, this);
    }
    ~BusPeer() { sd_bus_flush_close_unref(bus_); }
    sd_bus* Get() const { return bus_; }

    // Plays the configuration application: owns its name, records Activate.
    bool BeConfigApplication() {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Activate", "", "", &BusPeer::OnActivate, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        sd_bus_add_object_vtable(bus_, nullptr, "/io/github/vxmmon/TVXMCFGMAIN", "io.github.vxmmon.TVXMCFGMAIN",
                                 vtable, this);
        return sd_bus_request_name(bus_, "io.github.vxmmon.TVXMCFGMAIN", 0) > 0;
    }
    // Plays a desktop's notification server: records each call, answers
    // Notify with a new id.
    bool BeNotificationServer() {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", &BusPeer::OnNotify, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("CloseNotification", "u", "", &BusPeer::OnCloseNotification, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                 vtable, this);
        return sd_bus_request_name(bus_, "org.freedesktop.Notifications", 0) > 0;
    }
    // Plays the panel's watcher: records the items that register.
    bool BeWatcher() {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", &BusPeer::OnRegister, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        sd_bus_add_object_vtable(bus_, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher", vtable,
                                 this);
        return sd_bus_request_name(bus_, "org.kde.StatusNotifierWatcher", 0) > 0;
    }

    // Processes the bus until `done` or the time-out; false on time-out.
    bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
        const auto until = Clock::now() + timeout;
        for (;;) {
            while (sd_bus_process(bus_, nullptr) > 0) {
            }
            if (done()) return true;
            if (Clock::now() > until) return false;
            sd_bus_wait(bus_, 50000);
        }
    }

    // A method of the monitor's interface; the error name, "" on success.
    // Its arguments: "x", "tx" and "i" take `a` (and `b`), "s" takes `text`.
    std::string Call(const char* member, const char* types = "", std::int64_t a = 0, std::int64_t b = 0,
                     const std::string& text = "") {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        int r;
        if (!std::strcmp(types, "x")) {
            r = sd_bus_call_method(bus_, destination.c_str(), "/io/github/vxmmon/TVXMMONMAIN",
                                   "io.github.vxmmon.TVXMMONMAIN", member, &error, &reply, "x", a);
        } else if (!std::strcmp(types, "i")) {
            r = sd_bus_call_method(bus_, destination.c_str(), "/io/github/vxmmon/TVXMMONMAIN",
                                   "io.github.vxmmon.TVXMMONMAIN", member, &error, &reply, "i",
                                   static_cast<std::int32_t>(a));
        } else if (!std::strcmp(types, "s")) {
            r = sd_bus_call_method(bus_, destination.c_str(), "/io/github/vxmmon/TVXMMONMAIN",
                                   "io.github.vxmmon.TVXMMONMAIN", member, &error, &reply, "s", text.c_str());
        } else if (!std::strcmp(types, "tx")) {
            r = sd_bus_call_method(bus_, destination.c_str(), "/io/github/vxmmon/TVXMMONMAIN",
                                   "io.github.vxmmon.TVXMMONMAIN", member, &error, &reply, "tx",
                                   static_cast<std::uint64_t>(a), b);
        } else {
            r = sd_bus_call_method(bus_, destination.c_str(), "/io/github/vxmmon/TVXMMONMAIN",
                                   "io.github.vxmmon.TVXMMONMAIN", member, &error, &reply, "");
        }
        std::string name = r >= 0 ? "" : (error.name ? error.name : "error");
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
        return name;
    }

    bool NameHasOwner(const char* name) {
        sd_bus_message* reply = nullptr;
        int has = 0;
        if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "NameHasOwner", nullptr, &reply, "s", name) >= 0) {
            sd_bus_message_read(reply, "b", &has);
        }
        sd_bus_message_unref(reply);
        return has != 0;
    }

    std::string destination = "io.github.vxmmon.TVXMMONMAIN";  // of Call
    struct Notification {
        std::string method;  // "Notify" or "CloseNotification"
        std::uint32_t id = 0;  // given, or closed
        std::uint32_t replaces = 0;
        std::string summary;
        std::int32_t expire = 0;
    };
    std::vector<Notification> notifications;
    std::vector<SignalSeen> signals;
    std::vector<std::string> registered;  // the services that registered, with the sender
    int activations = 0;

private:
    static int OnSignal(sd_bus_message* m, void* userdata, sd_bus_error*) {
        auto* self = static_cast<BusPeer*>(userdata);
        SignalSeen s;
        s.member = sd_bus_message_get_member(m);
        if (s.member == "ProfileSwitched") {
            std::int32_t v = 0;
            sd_bus_message_read(m, "i", &v);
            s.value = v;
        } else if (s.member == "DeviceValue") {
            std::uint32_t v = 0;
            sd_bus_message_read(m, "u", &v);
            s.value = v;
        }
        self->signals.push_back(s);
        return 0;
    }
    static int OnActivate(sd_bus_message* m, void* userdata, sd_bus_error*) {
        ++static_cast<BusPeer*>(userdata)->activations;
        return sd_bus_reply_method_return(m, "");
    }
    static int OnNotify(sd_bus_message* m, void* userdata, sd_bus_error*) {
        auto* self = static_cast<BusPeer*>(userdata);
        Notification n;
        n.method = "Notify";
        const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        sd_bus_message_read(m, "susss", &app, &n.replaces, &icon, &summary, &body);
        sd_bus_message_skip(m, "asa{sv}");
        sd_bus_message_read(m, "i", &n.expire);
        n.summary = summary ? summary : "";
        n.id = n.replaces ? n.replaces : ++self->lastNotification_;
        self->notifications.push_back(n);
        return sd_bus_reply_method_return(m, "u", n.id);
    }
    static int OnCloseNotification(sd_bus_message* m, void* userdata, sd_bus_error*) {
        Notification n;
        n.method = "CloseNotification";
        sd_bus_message_read(m, "u", &n.id);
        static_cast<BusPeer*>(userdata)->notifications.push_back(n);
        return sd_bus_reply_method_return(m, "");
    }
    static int OnRegister(sd_bus_message* m, void* userdata, sd_bus_error*) {
        const char* service = nullptr;
        sd_bus_message_read(m, "s", &service);
        static_cast<BusPeer*>(userdata)->registered.push_back(service ? service : "");
        return sd_bus_reply_method_return(m, "");
    }

    sd_bus* bus_ = nullptr;
    std::uint32_t lastNotification_ = 0;
};

// The stand-in device: the test's end of a socket pair, the child's end kept
// for the child to inherit.
struct StandInDevice {
    StandInDevice() {
        int sv[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) == 0) {
            childEnd = sv[0];
            testEnd = sv[1];
        }
    }
    ~StandInDevice() {
        if (childEnd >= 0) ::close(childEnd);
        if (testEnd >= 0) ::close(testEnd);
    }
    bool Send(const std::vector<std::uint8_t>& report) const {
        return ::send(testEnd, report.data(), report.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(report.size());
    }
    int childEnd = -1;
    int testEnd = -1;
};

// A profile record (140072 bytes) whose button `button` has the function `function`.
inline std::string ProfileWithFunction(int button, int function) {
    std::string record(140072, '\0');
    const std::size_t at = 872 + 4080 * static_cast<std::size_t>(button) + 4062;
    record[at] = static_cast<char>(function & 0xFF);
    record[at + 1] = static_cast<char>(function >> 8);
    return record;
}

}  // namespace vxm::testing
