# Cross build for 64-bit Windows with Debian's mingw-w64 against Qt 6 for
# Windows as scripts/build-qt-windows makes it: the desktop application
# with everything else. Qt's DLLs need the compiler's runtime DLLs
# (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll), so the
# programs use them too instead of linking the runtime statically: one copy
# of the C++ runtime in the process.
set(VORNA_MINGW_SHARED_RUNTIME ON)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)

# Where scripts/build-qt-windows installs Qt, by the same rule.
if(DEFINED ENV{VORNA_QT_WINDOWS_PREFIX} AND NOT "$ENV{VORNA_QT_WINDOWS_PREFIX}" STREQUAL "")
  set(VORNA_QT_WINDOWS_PREFIX "$ENV{VORNA_QT_WINDOWS_PREFIX}")
elseif("$ENV{XDG_CACHE_HOME}" MATCHES "^/")
  set(VORNA_QT_WINDOWS_PREFIX "$ENV{XDG_CACHE_HOME}/vorna/qt-windows")
else()
  set(VORNA_QT_WINDOWS_PREFIX "$ENV{HOME}/.cache/vorna/qt-windows")
endif()
if(NOT CMAKE_IN_TRY_COMPILE AND NOT EXISTS "${VORNA_QT_WINDOWS_PREFIX}/lib/cmake/Qt6Widgets")
  message(FATAL_ERROR "No Qt for Windows in ${VORNA_QT_WINDOWS_PREFIX}: run scripts/build-qt-windows first "
                      "(or set VORNA_QT_WINDOWS_PREFIX to where it installed Qt).")
endif()
# Qt's packages are searched below the Qt prefix as a root; its tools (moc,
# rcc, uic) are the host's, from the same Qt version.
list(PREPEND CMAKE_FIND_ROOT_PATH "${VORNA_QT_WINDOWS_PREFIX}")
list(PREPEND CMAKE_PREFIX_PATH "${VORNA_QT_WINDOWS_PREFIX}/lib/cmake")
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
