#include "platform/linux/seams_linux.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/linux/posix.h"

extern char** environ;

namespace vxm::linuxos {

std::uint32_t Ticks::TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void Ticks::Sleep(unsigned ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void StreamDebugOutput::DebugOutput(u16view text) {
    if (!enabled_) return;
    std::string line = Utf8(text);
    // One line stays one line, whatever the text holds.
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    line += '\n';
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void DebugMessageBoxes::ShowMessage(u16view text) { debug_.DebugOutput(u"message: " + u16(text)); }

void DebugMessageBoxes::ShowError(u16view text, u16view caption) {
    debug_.DebugOutput(u"message: " + u16(caption) + u": " + u16(text));
}

void DebugMessageBoxes::ShowWarning(u16view text) {
    if (warn_) {
        warn_(text);
    } else {
        ShowMessage(text);
    }
}

struct Programs::Children {
    std::mutex mutex;
    std::map<pid_t, bool> running;  // pid -> still running
};

Programs::Programs() : children_(std::make_shared<Children>()) {}

Programs::~Programs() { Reap(); }

void Programs::Reap() {
    std::lock_guard<std::mutex> lock(children_->mutex);
    for (auto it = children_->running.begin(); it != children_->running.end();) {
        int status = 0;
        const pid_t r = ::waitpid(it->first, &status, WNOHANG);
        if (r == it->first || (r < 0 && errno == ECHILD)) {
            it = children_->running.erase(it);
        } else {
            ++it;
        }
    }
}

pid_t Programs::Spawn(const std::vector<std::string>& argv, const std::string& directory, bool searchPath) {
    Reap();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    // The child gets no standard input of ours.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The monitor blocks its signals for its signalfd: the child starts with none blocked.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = searchPath ? posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ)
                                 : posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    std::lock_guard<std::mutex> lock(children_->mutex);
    children_->running[pid] = true;
    return pid;
}

bool Programs::ShellExecuteFile(platform::WindowHandle, u16view, u16view file, u16view directory, int) {
    return Spawn({"xdg-open", Utf8(file)}, directory.empty() ? std::string() : NativePath(directory), true) > 0;
}

namespace {

class StartedProgram final : public platform::IStartedProgram {
public:
    StartedProgram(pid_t pid, std::weak_ptr<void> owner, std::function<bool(pid_t)> running)
        : pid_(pid), owner_(std::move(owner)), running_(std::move(running)) {}
    bool Running() override { return !owner_.expired() && running_(pid_); }

private:
    pid_t pid_;
    std::weak_ptr<void> owner_;
    std::function<bool(pid_t)> running_;
};

}  // namespace

std::unique_ptr<platform::IStartedProgram> Programs::StartProgram(u16view, u16view file, u16view directory, int) {
    // The program itself, by its full path: nothing of that name elsewhere
    // is ever run. A missing file starts nothing.
    std::string path = ResolveNoCase(NativePath(file));
    const auto runnable = [](const std::string& p) {
        struct stat st{};
        return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
    };
    // A Windows program's name stands for the Linux one without ".exe"
    // ("VXMCFG.EXE" starts "vxmcfg").
    if (!runnable(path) && path.size() > 4 && EqualsNoCaseAscii(std::string_view(path).substr(path.size() - 4), ".exe")) {
        path = ResolveNoCase(path.substr(0, path.size() - 4));
    }
    if (!runnable(path)) return nullptr;
    const pid_t pid = Spawn({path}, directory.empty() ? std::string() : ResolveNoCase(NativePath(directory)), false);
    if (pid <= 0) return nullptr;
    std::weak_ptr<Children> weak = children_;
    return std::make_unique<StartedProgram>(pid, children_, [weak](pid_t p) {
        const auto children = weak.lock();
        if (!children) return false;
        std::lock_guard<std::mutex> lock(children->mutex);
        const auto it = children->running.find(p);
        if (it == children->running.end()) return false;
        int status = 0;
        const pid_t r = ::waitpid(p, &status, WNOHANG);
        if (r == 0) return true;
        children->running.erase(it);
        return false;
    });
}

}  // namespace vxm::linuxos
