# Compiles the help project into one .chm file:
#   cmake -DCHMCMD=<chmcmd> -DSOURCE_DIR=<help sources> -DWORK_DIR=<scratch> -DOUTPUT=<qly.chm> -P compile.cmake
# chmcmd writes beside its project, so the sources are copied to a scratch folder first. A
# warning (a link or picture that is not there) fails the build, so the file ships whole.
foreach(var CHMCMD SOURCE_DIR WORK_DIR OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "compile.cmake: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${SOURCE_DIR}/" DESTINATION "${WORK_DIR}"
     PATTERN "CMakeLists.txt" EXCLUDE
     PATTERN "compile.cmake" EXCLUDE)

execute_process(
    COMMAND "${CHMCMD}" qly.hhp
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR output MATCHES "Warning|Error|rror:" OR NOT EXISTS "${WORK_DIR}/qly.chm")
    message(FATAL_ERROR "chmcmd failed on the help project (exit ${result}):\n${output}")
endif()

get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(COPY_FILE "${WORK_DIR}/qly.chm" "${OUTPUT}")
