#pragma once
// vxmmon's commands: the settings that the tray menu sets (the mute button,
// the language) and the microphone toggle, sent to the running monitor over
// the session bus; with no monitor running, the settings go to the store
// directly, as the monitor would write them, and the toggle is refused.
#include <string>

namespace vxm::linuxmon {

struct Command {
    enum class Kind { None, MuteButton, Language, ToggleMute };
    Kind kind = Kind::None;
    int button = 0;  // 1 to 19, 0 for none
    std::string language;
};

// Reads a command's option at argv[i] and its value (moving `i` past it).
// False when argv[i] is none; `error` says what is wrong with one that is.
bool ParseCommand(int argc, char** argv, int& i, Command& command, std::string& error);

// 0 when done; otherwise 1, and standard error says why.
int RunCommand(const Command& command);

}  // namespace vxm::linuxmon
