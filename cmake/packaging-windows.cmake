# The Windows package: one folder holding the programs, the help file, the
# Qt and compiler runtime DLLs they load and the licence texts; `cpack` in
# the build folder writes it as vorna-<version>-windows-x64.zip and as an
# NSIS installer, vorna-<version>-windows-x64-setup.exe
# (scripts/package-windows). Included from packaging.cmake.
if(NOT TARGET vorna)
  return()
endif()

# The compiler's runtime DLLs that Qt and the programs import.
set(VORNA_RUNTIME_DLL_NAMES libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
set(runtime_dlls)
set(runtime_dirs)
foreach(name ${VORNA_RUNTIME_DLL_NAMES})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${name} is")
  endif()
  file(REAL_PATH "${path}" path)
  get_filename_component(dir "${path}" DIRECTORY)
  list(APPEND runtime_dlls "${path}")
  list(APPEND runtime_dirs "${dir}")
endforeach()

# Qt's DLLs come from its imported targets; a plugin goes into the folder
# named after its kind, which Qt searches beside the executable.
set(qt_libraries Qt6::Core Qt6::Gui Qt6::Widgets)
set(qt_plugins platforms Qt6::QWindowsIntegrationPlugin styles Qt6::QWindowsVistaStylePlugin)
get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_bin_dir "${qt_core_dll}" DIRECTORY)
get_target_property(qt_offscreen_plugin Qt6::QOffscreenIntegrationPlugin IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_plugin_dir "${qt_offscreen_plugin}" DIRECTORY)
get_filename_component(qt_plugin_dir "${qt_plugin_dir}" DIRECTORY)

# The programs in the build tree run under wine with these folders on
# WINEPATH and Qt's plugins found through QT_PLUGIN_PATH; the scripts that
# run them read this file.
list(REMOVE_DUPLICATES runtime_dirs)
file(WRITE ${CMAKE_BINARY_DIR}/windows-runtime.env
     "VORNA_WINDOWS_DLL_DIRS='${qt_bin_dir};${runtime_dirs}'\nVORNA_QT_PLUGIN_DIR='${qt_plugin_dir}'\n")

install(FILES ${runtime_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(library ${qt_libraries})
  install(FILES $<TARGET_FILE:${library}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
while(qt_plugins)
  list(POP_FRONT qt_plugins kind plugin)
  install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${kind})
endwhile()
# Qt's own texts (its standard dialogs and buttons) in each language the
# windows are translated to, from the host's qt6-translations-l10n, made from
# the same Qt release; vorna looks for them in `translations` beside itself.
foreach(ts ${VORNA_TS_FILES})
  string(REGEX REPLACE ".*vorna_(.*)\\.ts$" "\\1" language "${ts}")
  set(qm /usr/share/qt6/translations/qtbase_${language}.qm)
  if(NOT EXISTS ${qm})
    message(FATAL_ERROR "${qm} is missing; the Windows package needs it (Debian: qt6-translations-l10n)")
  endif()
  install(FILES ${qm} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)
endforeach()
# The copied DLLs carry their symbols; a stripped install (cpack) drops them
# as it does the programs'.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    foreach(dll \${dlls})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# The licences: Qt's (LGPL 3, as shared libraries; where its source is),
# the compiler runtime's and those of the libraries compiled into vornactl,
# from the Debian packages they were built from.
set(licences_dir ${CMAKE_BINARY_DIR}/packaging/licences)
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-base-dev OUTPUT_VARIABLE VORNA_QT_DEBIAN_VERSION
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The Debian version of qt6-base-dev, which the Windows Qt is built from, is unknown")
endif()
set(VORNA_QT_VERSION ${Qt6Core_VERSION})
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README-licences.txt.in ${licences_dir}/README.txt @ONLY
               NEWLINE_STYLE CRLF)
set(licence_files
    /usr/share/common-licenses/LGPL-3 LGPL-3.txt
    /usr/share/common-licenses/GPL-3 GPL-3.txt
    /usr/share/doc/libqt6core6/copyright qt6-base-copyright.txt
    /usr/share/doc/qt6-translations-l10n/copyright qt6-translations-copyright.txt
    /usr/share/doc/gcc-mingw-w64-base/copyright gcc-runtime-copyright.txt
    /usr/share/doc/mingw-w64-x86-64-dev/copyright mingw-w64-copyright.txt
    /usr/share/doc/libcli11-dev/copyright cli11-copyright.txt
    /usr/share/doc/nlohmann-json3-dev/copyright nlohmann-json-copyright.txt)
while(licence_files)
  list(POP_FRONT licence_files source name)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${source} is missing; the Windows package needs it for ${name}")
  endif()
  configure_file(${source} ${licences_dir}/${name} COPYONLY)
  list(APPEND installed_licences ${licences_dir}/${name})
endwhile()
install(FILES ${licences_dir}/README.txt ${installed_licences} DESTINATION ${CMAKE_INSTALL_BINDIR}/licences)

# --- the zip and the installer -------------------------------------------------
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME vorna)
set(CPACK_PACKAGE_VENDOR vorna)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
# The zip unpacks into a folder of the same name.
set(CPACK_PACKAGE_FILE_NAME vorna-${PROJECT_VERSION}-windows-x64)
set(CPACK_STRIP_FILES ON)
# Per machine, below "Program Files", with the version in Windows' list of
# programs; a Start-menu entry for vorna and for its help.
set(CPACK_PACKAGE_INSTALL_DIRECTORY vorna)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY vorna)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer, like the programs it installs: NSIS makes 32-bit ones
# unless told otherwise.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
# The name the installer, the Start-menu folder and the list of programs
# show; the version has a column of its own there.
set(CPACK_NSIS_PACKAGE_NAME vorna)
set(CPACK_NSIS_DISPLAY_NAME vorna)
set(CPACK_NSIS_INSTALLED_ICON_NAME vorna.exe)
set(CPACK_NSIS_MUI_ICON ${VORNA_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${VORNA_WINDOWS_ICON})
set(CPACK_PACKAGE_EXECUTABLES vorna vorna)
set(CPACK_NSIS_MENU_LINKS VORNAHLP.html "vorna help")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
# The licences are installed with the programs; vorna itself declares none
# to agree to.
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/packaging/cpack-windows-config.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "# The installer's name says what it is.
if(CPACK_GENERATOR STREQUAL \"NSIS\")
  set(CPACK_PACKAGE_FILE_NAME \"\${CPACK_PACKAGE_FILE_NAME}-setup\")
endif()
")
include(CPack)
