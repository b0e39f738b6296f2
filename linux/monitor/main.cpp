// vxmmon: the gaming mouse monitor on Linux.
#include "monitor/program.h"
#include "platform/linux/hid_linux.h"

int main(int argc, char** argv) {
    return vxm::linuxmon::VxmmonMain(argc, argv, [] { return std::make_unique<vxm::linuxos::HidSystem>(); });
}
