# The Debian package of vxmmon, made by CPack from the install rules
# (`cmake --build --preset package --target package`, or `cpack` in the
# package build). Its dependencies come from the program's shared libraries
# through dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vxmmon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The vxmmon authors")
set(VXM_PACKAGE_MAINTAINER "vxmmon maintainers <maintainers@users.noreply.c-seed-a7d6c5f8.example>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VXM_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "gaming mouse monitor: microphone mute button and profile switches")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "vxmmon is the background monitor of a gaming mouse on the Linux desktop.\n"
  "It reads the mouse's vendor HID interface through hidraw, toggles the\n"
  "microphone mute of the sound server's default source (PulseAudio or\n"
  "PipeWire) from the mouse's mute button, records the mouse's profile\n"
  "switches and keeps its profile records, shows a tray icon\n"
  "(StatusNotifierItem) and talks to a configuration application over the\n"
  "D-Bus session bus.\n"
  ".\n"
  "It starts with every desktop session, from an XDG autostart entry or a\n"
  "systemd user unit, and a udev rule gives the logged-in user access to\n"
  "the mouse.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VXM_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The session bus it cannot run without, and a sound server to mute.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "default-dbus-session-bus | dbus-session-bus, pipewire-pulse | pulseaudio")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/conffiles
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
set(CPACK_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
include(CPack)
