# The configure-time dependency check on a small tree of its own, run by CTest
# as `cmake -DSOURCE_DIR=<top> -DWORK_DIR=<scratch> -P` this file: a module
# that includes a header by an absolute path and one of a module it does not
# declare. The configuration must end within seconds, fail, and name both.

set(tree "${WORK_DIR}/tree")
file(REMOVE_RECURSE "${tree}")
file(WRITE "${tree}/CMakeLists.txt" "cmake_minimum_required(VERSION 3.25)
project(dependency_check_tree NONE)
include(\"${SOURCE_DIR}/cmake/velk.cmake\")
include(\"${SOURCE_DIR}/cmake/dependency_check.cmake\")
velk_register_module(lib_core \${CMAKE_SOURCE_DIR}/lib/core)
velk_register_module(lib_image \${CMAKE_SOURCE_DIR}/lib/image)
velk_check_dependencies()
")
file(WRITE "${tree}/lib/core/absolute.cpp" "#include \"/usr/include/stdio.h\"\n")
file(WRITE "${tree}/lib/core/undeclared.cpp" "#include \"lib/image/image.h\"\n")
file(WRITE "${tree}/lib/image/image.h" "#pragma once\n")

execute_process(COMMAND "${CMAKE_COMMAND}" -S "${tree}" -B "${tree}/build"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 20)
if(NOT result MATCHES "^[0-9]+$")
  message(FATAL_ERROR "the configuration did not end (${result})")
endif()
if(result EQUAL 0)
  message(FATAL_ERROR "the configuration passed wrong includes:\n${output}")
endif()
foreach(line
    "lib/core/absolute.cpp: includes \"/usr/include/stdio.h\" by an absolute path"
    "lib/core/undeclared.cpp: includes \"lib/image/image.h\" of lib_image, which lib_core does not declare")
  string(FIND "${output}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check does not say\n  ${line}\nbut:\n${output}")
  endif()
endforeach()
