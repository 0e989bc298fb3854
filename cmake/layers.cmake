# The layers and the rule that keeps them apart.
#
#   link <- model <- download <- commands <- cli, dialogs <- app
#   link <- app/settings <- app
#           model <- sim
#
# Every folder is one static library. Its headers are reached as
# "folder/name.h" only through an include root of its own, a folder in the
# build tree that holds a link to that one source folder. A library sees its
# own root and the roots of the libraries it links, and nothing else: an
# include that reaches up a layer names a file that is not there, so the
# build fails at that line instead of a circle growing unnoticed. Tests,
# fuzzers and benchmarks link whatever they exercise.

# Warnings for our own code only; third-party sources built here (GoogleTest
# in a cross build) keep their own.
add_library(vorna_warnings INTERFACE)
if(MSVC)
  target_compile_options(vorna_warnings INTERFACE /W4 $<$<BOOL:${VORNA_WERROR}>:/WX>)
else()
  target_compile_options(vorna_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${VORNA_WERROR}>:-Werror>)
endif()

# vorna_layer(<target> <folder> [LINKS <library>...])
# Makes <target> (a static library already holding its sources) the library
# of <folder>, relative to the source root, linked publicly to the libraries
# of the layers below it.
function(vorna_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "LINKS")
  set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARG_LINKS} PRIVATE vorna_warnings)
  # The roots this layer sees, its own first: what the layer test probes.
  set(roots ${root})
  foreach(link ${ARG_LINKS})
    if(TARGET ${link})
      get_target_property(below ${link} VORNA_ROOTS)
      if(below)
        list(APPEND roots ${below})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES roots)
  set_target_properties(${target} PROPERTIES VORNA_ROOTS "${roots}")
endfunction()

# Our executables and test programs: the same warnings.
function(vorna_own target)
  target_link_libraries(${target} PRIVATE vorna_warnings)
endfunction()
