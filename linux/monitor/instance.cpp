#include "monitor/instance.h"

#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace vxm::linuxmon {
namespace {

// A call to the bus daemon, which answers at once unless it is gone.
constexpr std::uint64_t kDaemonTimeoutUs = 2000000;

std::string ReadLink(const std::string& path) {
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(n));
    return target;
}

// Whether process `pid` runs the same file as this one (compared by device
// and inode: a path may name it through links).
bool RunsThisProgram(std::uint32_t pid) {
    struct stat mine {};
    struct stat theirs {};
    return ::stat("/proc/self/exe", &mine) == 0 &&
           ::stat(("/proc/" + std::to_string(pid) + "/exe").c_str(), &theirs) == 0 && mine.st_dev == theirs.st_dev &&
           mine.st_ino == theirs.st_ino;
}

}  // namespace

NameHolder FindNameHolder(sd_bus* bus, const char* name, const char* path, const char* interface,
                          std::uint64_t answerTimeoutUs) {
    NameHolder holder;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    sd_bus_message* call = nullptr;
    const char* unique = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "GetNameOwner") < 0 ||
        sd_bus_message_append(call, "s", name) < 0 || sd_bus_call(bus, call, kDaemonTimeoutUs, &error, &reply) < 0 ||
        sd_bus_message_read(reply, "s", &unique) < 0 || !unique) {
        sd_bus_message_unref(call);
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
        return holder;
    }
    holder.uniqueName = unique;
    call = sd_bus_message_unref(call);
    reply = sd_bus_message_unref(reply);

    if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "GetConnectionUnixProcessID") >= 0 &&
        sd_bus_message_append(call, "s", holder.uniqueName.c_str()) >= 0 &&
        sd_bus_call(bus, call, kDaemonTimeoutUs, nullptr, &reply) >= 0) {
        sd_bus_message_read(reply, "u", &holder.pid);
    }
    call = sd_bus_message_unref(call);
    reply = sd_bus_message_unref(reply);
    if (holder.pid != 0) {
        holder.executable = ReadLink("/proc/" + std::to_string(holder.pid) + "/exe");
        // The same program needs no asking; it may still be starting, and
        // answers only once its loop runs.
        if (RunsThisProgram(holder.pid)) {
            holder.kind = NameHolder::Kind::Monitor;
            return holder;
        }
    }

    // Another build of the monitor serves its interface on its object: the
    // introspection lists it. Asked of the holder itself, so that a change
    // of holder in between cannot answer for it.
    const char* xml = nullptr;
    int r = sd_bus_message_new_method_call(bus, &call, holder.uniqueName.c_str(), path,
                                           "org.freedesktop.DBus.Introspectable", "Introspect");
    if (r >= 0) r = sd_bus_call(bus, call, answerTimeoutUs, &error, &reply);
    if (r >= 0 && sd_bus_message_read(reply, "s", &xml) >= 0 && xml) {
        const std::string wanted = std::string("<interface name=\"") + interface + "\"";
        holder.kind = std::string(xml).find(wanted) != std::string::npos ? NameHolder::Kind::Monitor
                                                                          : NameHolder::Kind::Other;
    } else if (r == -ETIMEDOUT) {
        holder.kind = NameHolder::Kind::Silent;
    } else if (sd_bus_error_has_names(&error, "org.freedesktop.DBus.Error.NameHasNoOwner",
                                      "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NoReply",
                                      "org.freedesktop.DBus.Error.Disconnected")) {
        holder.kind = NameHolder::Kind::None;  // it went away meanwhile
    } else {
        // An error reply (no such object, interface or method): not a monitor.
        holder.kind = NameHolder::Kind::Other;
    }
    sd_bus_message_unref(call);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return holder;
}

std::string DescribeForeignHolder(const NameHolder& holder, const char* name, std::uint64_t answerTimeoutUs) {
    std::string who = holder.uniqueName;
    if (holder.pid != 0) {
        who += " (process " + std::to_string(holder.pid);
        if (!holder.executable.empty()) who += ", " + holder.executable;
        who += ")";
    }
    const std::string what =
        holder.kind == NameHolder::Kind::Silent
            ? "does not answer (waited " + std::to_string(answerTimeoutUs / 1000000) + " s)"
            : "is not a gaming mouse monitor: it does not serve the monitor's interface";
    return std::string("the bus name ") + name + " is held by " + who + ", which " + what +
           ". Another monitor cannot start while it holds the name: end that program, then start vxmmon again.";
}

}  // namespace vxm::linuxmon
