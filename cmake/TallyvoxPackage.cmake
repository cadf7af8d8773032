# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder packs what
# `cmake --install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyvox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tallyvox developers")
set(CPACK_PACKAGE_CONTACT "Tallyvox developers <developers@tallyvox.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop calculator that speaks")
# One string: the lines of a CMake list would be joined with ";".
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tallyvox is a calculator with a standard and a scientific view. Every key\n"
  "press is confirmed by a short voice cue, and the result of the equals key is\n"
  "read aloud in Chinese number words. Every key has an accessible name, so it\n"
  "can be used by ear and keyboard alone. Also contains tallyvox-keys, which runs\n"
  "calculator keys without a window, and tallyvox-cue, for voice cue packs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What the programs link is found by dpkg-shlibdeps (Qt, libcurl, gumbo, ...).
# What they open by name at run time it cannot see: SDL2 for the sound, the
# Qt platform plugins for the window; and the Chinese captions need a CJK
# font. libupdate.so and the modules are private, in /usr/lib/tallyvox.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0, qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk")
# The update check's https needs the system's certificates.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates")
include(CPack)
