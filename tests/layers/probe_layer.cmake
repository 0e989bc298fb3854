# Preprocesses a probe with a layer's include roots only: SEES must be found,
# HIDDEN must not. The probe sits in a scratch folder of its own, so no
# header is found beside it.
file(MAKE_DIRECTORY ${SCRATCH})
set(probe ${SCRATCH}/probe.cpp)
file(WRITE ${probe} "#if !__has_include(\"${SEES}\")\n#error ${SEES} is out of reach\n#endif\n"
                    "#if __has_include(\"${HIDDEN}\")\n#error ${HIDDEN} is reachable from a layer below it\n#endif\n")
set(flags)
foreach(root ${ROOTS})
  list(APPEND flags -I${root})
endforeach()
execute_process(COMMAND ${COMPILER} -std=c++20 -E -o ${SCRATCH}/probe.i ${flags} ${probe}
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "layer probe failed:\n${errors}")
endif()
