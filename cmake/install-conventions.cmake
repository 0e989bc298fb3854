# Conventions every install rule follows, set before the programs' folders
# are read.
if(WIN32)
  # A Windows copy is one folder: the programs at its top, the DLLs they
  # load beside them (cmake/packaging-windows.cmake).
  set(CMAKE_INSTALL_BINDIR . CACHE PATH "User executables")
endif()
include(GNUInstallDirs)

# The desktop application's id in reverse-domain form: the desktop entry is
# installed as <id>.desktop and the AppStream metainfo as
# <id>.metainfo.xml. Derived from vorna.invalid, the only domain the project
# uses so far; software centres follow a change of id only through a
# <replaces> entry in the metainfo.
set(VORNA_APP_ID invalid.vorna.vorna)

if(NOT WIN32)
  find_program(VORNA_GZIP gzip REQUIRED)
endif()

# vorna_gzip(<source> <output> <target>): <output>, whose name ends in .gz,
# is <source> compressed with gzip -9n, the way Debian compresses
# documentation: best compression, and no file name or time stamp in the
# header, so the same source always gives the same bytes. <target> builds
# it with every build.
function(vorna_gzip source output target)
  get_filename_component(folder ${output} DIRECTORY)
  get_filename_component(name ${output} NAME_WLE)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${name}
    COMMAND ${VORNA_GZIP} -9nf ${folder}/${name}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

# vorna_install_man_page(<page>): installs the man page <page> (a path
# relative to the calling folder, its section the file's extension)
# compressed, as man-db reads it and Debian policy asks. Not on Windows,
# which has no manual reader.
function(vorna_install_man_page page)
  if(WIN32)
    return()
  endif()
  get_filename_component(name ${page} NAME)
  if(NOT name MATCHES "\\.([1-9])$")
    message(FATAL_ERROR "${page}: a man page's name ends in its section, .1 to .9")
  endif()
  set(section ${CMAKE_MATCH_1})
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
  vorna_gzip(${CMAKE_CURRENT_SOURCE_DIR}/${page} ${compressed} man_${name})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
