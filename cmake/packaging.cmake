# Installation pieces that belong to no single program, and the Debian
# package: `cpack -G DEB` in the build folder writes
# vorna_<version>_<architecture>.deb. Included after every install rule.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

# The board's serial device for the user at the seat, kept away from
# ModemManager. udev reads lib/udev/rules.d below the prefix, never a
# multiarch library folder, so not CMAKE_INSTALL_LIBDIR.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-vorna.rules DESTINATION lib/udev/rules.d)

set(VORNA_PACKAGE_CONTACT "vorna maintainers <maintainers@vorna.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorna)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT ${VORNA_PACKAGE_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# name_version_architecture.deb, the Debian way.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the libraries the programs link against
# (dpkg-shlibdeps, package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help file is opened in the desktop's web browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Sets up the FM stereo transmitter chip on the microcontroller evaluation
board over its USB serial port, and downloads user programs to the board
from Intel HEX and Motorola S-record files.
.
The package holds the desktop application (vorna), the command-line tool
(vornactl), a virtual board for trying both without hardware
(vorna-board-sim), and a udev rule for the board's serial device to be
completed with the board's USB IDs.")

include(CPack)
