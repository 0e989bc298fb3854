# Installation pieces that belong to no single program, and the Debian
# package: `cpack -G DEB` in the build folder writes
# vorna_<version>_<architecture>.deb. Included after every install rule.
# Windows has a package of its own.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/packaging-windows.cmake)
  return()
elseif(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

# The board's serial device for the user at the seat, kept away from
# ModemManager. udev reads lib/udev/rules.d below the prefix, never a
# multiarch library folder, so not CMAKE_INSTALL_LIBDIR.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-vorna.rules DESTINATION lib/udev/rules.d)

set(VORNA_PACKAGE_CONTACT "vorna maintainers <maintainers@vorna.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
# Where the repository's files are published; its docs/screenshots are the
# AppStream screenshots. The project has no public home yet, and .invalid
# names never resolve.
set(VORNA_PROJECT_URL "https://vorna.invalid"
    CACHE STRING "Public address of the project's repository, without a trailing slash")

# --- the release: version, date and Debian changelog from CHANGELOG.md -------
include(${PROJECT_SOURCE_DIR}/cmake/changelog.cmake)
set(changelog_source ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog_source})
file(READ ${changelog_source} changelog_markdown)
vorna_changelog_newest("${changelog_markdown}" newest_version newest_date)
if(newest_version STREQUAL "")
  message(FATAL_ERROR "${changelog_source}: no entry \"## [version] - date\"")
elseif(NOT newest_version STREQUAL PROJECT_VERSION)
  # The package test fails on this too; configuring still works.
  message(WARNING "${changelog_source}: the newest entry is ${newest_version}, the project is "
                  "${PROJECT_VERSION}; the package's changelog and release date are those of ${newest_version}")
endif()
# An unreleased version has no date of its own; it takes the moment of the
# sources (SOURCE_DATE_EPOCH, as reproducible builds set it), else of the
# newest commit, else of CHANGELOG.md, so that the same sources give the
# same package.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(unreleased_epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE unreleased_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_status ERROR_QUIET)
  if(NOT git_status EQUAL 0 OR NOT unreleased_epoch MATCHES "^[0-9]+$")
    file(TIMESTAMP ${changelog_source} unreleased_epoch "%s" UTC)
  endif()
endif()
if(newest_date STREQUAL "unreleased")
  set(VORNA_RELEASE_EPOCH ${unreleased_epoch})
  set(VORNA_RELEASE_TYPE development)
else()
  vorna_date_epoch("${newest_date}" VORNA_RELEASE_EPOCH)
  set(VORNA_RELEASE_TYPE stable)
endif()
vorna_debian_changelog("${changelog_markdown}" vorna "${VORNA_PACKAGE_CONTACT}" ${unreleased_epoch}
                       debian_changelog changelog_error)
if(changelog_error)
  message(FATAL_ERROR "${changelog_source}: ${changelog_error}")
endif()
vorna_format_epoch(${VORNA_RELEASE_EPOCH} "%Y-%m-%d" VORNA_RELEASE_DATE)

# The Debian changelog of this native package, compressed as
# share/doc/vorna/changelog.gz. Written only when it changes, so that an
# unchanged changelog is not compressed again.
set(packaging_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(WRITE ${packaging_dir}/changelog.new "${debian_changelog}")
configure_file(${packaging_dir}/changelog.new ${packaging_dir}/changelog COPYONLY)
vorna_gzip(${packaging_dir}/changelog ${packaging_dir}/doc/changelog.gz vorna_debian_changelog)
install(FILES ${packaging_dir}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${packaging_dir}/copyright @ONLY)
install(FILES ${packaging_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# What software centres show: description, screenshots, release.
configure_file(${PROJECT_SOURCE_DIR}/packaging/vorna.metainfo.xml.in
               ${packaging_dir}/${VORNA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${packaging_dir}/${VORNA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Lintian's findings the package keeps on purpose, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vorna.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vorna)

# --- the Debian package --------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorna)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT ${VORNA_PACKAGE_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Every file in the package carries the release's time, whenever it was
# built (cpack reads SOURCE_DATE_EPOCH when it writes the archive).
set(CPACK_PROJECT_CONFIG_FILE ${packaging_dir}/cpack-project-config.cmake)
configure_file(${PROJECT_SOURCE_DIR}/packaging/cpack-project-config.cmake.in ${CPACK_PROJECT_CONFIG_FILE} @ONLY)

# name_version_architecture.deb, the Debian way.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the libraries the programs link against
# (dpkg-shlibdeps, package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help file is opened in the desktop's web browser through xdg-open;
# Qt's own dialogs speak the desktop's language with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY. cpack
# keeps the lines as they are, and lintian wants them 80 characters at most.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Sets up the FM stereo transmitter chip on a microcontroller evaluation board
over its USB serial port and downloads user programs to the board from Intel
HEX and Motorola S-record files, from a desktop application (vorna) or a
command-line tool for scripts (vornactl).
A virtual board (vorna-board-sim) answers like the real one on a
pseudo-terminal, for trying both without hardware.")

include(CPack)
