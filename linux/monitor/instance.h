#pragma once
// Who holds the monitor's bus name when a start finds it taken: another
// monitor (the start ends without a word, as a second instance does) or a
// program that is not one, which the user must hear about.
#include <cstdint>
#include <string>

struct sd_bus;

namespace vxm::linuxmon {

struct NameHolder {
    enum class Kind {
        None,     // nobody holds the name (any more)
        Monitor,  // this program, or one that serves the monitor's interface
        Other,    // answers, but not as a monitor
        Silent,   // does not answer in time
    };
    Kind kind = Kind::None;
    std::string uniqueName;  // ":1.42"
    std::uint32_t pid = 0;   // 0 when the bus does not tell
    std::string executable;  // empty when /proc does not tell
};

// Asks the bus daemon for the holder of `name` and its process, then, unless
// that process runs this very program, introspects `path` at the holder for
// `interface`, waiting at most `answerTimeoutUs`.
NameHolder FindNameHolder(sd_bus* bus, const char* name, const char* path, const char* interface,
                          std::uint64_t answerTimeoutUs);

// "the bus name N is held by :1.42 (process 123, /usr/bin/x), which ..."
std::string DescribeForeignHolder(const NameHolder& holder, const char* name, std::uint64_t answerTimeoutUs);

}  // namespace vxm::linuxmon
