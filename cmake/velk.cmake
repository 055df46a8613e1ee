# Helpers shared by every module's CMakeLists.txt.

# Adds every folder below the given roots that has a CMakeLists.txt, shallow
# folders first, so a new module needs no edit outside its own folder.
function(velk_add_module_folders)
  set(found "")
  foreach(root IN LISTS ARGN)
    file(GLOB_RECURSE lists CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
         ${CMAKE_SOURCE_DIR}/${root}/CMakeLists.txt ${CMAKE_SOURCE_DIR}/${root}/*/CMakeLists.txt)
    list(APPEND found ${lists})
  endforeach()
  list(SORT found)
  foreach(lists IN LISTS found)
    get_filename_component(dir ${lists} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# The target name of a module folder: its path with '/' turned into '_'
# (platform/base -> platform_base, lib/core -> lib_core).
function(velk_target_name_for_dir dir out)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
  string(REPLACE "/" "_" name "${rel}")
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# velk_module([DEPS target...] [PRIVATE_DEPS target...] [EXCLUDE file...])
# A static library of every .cpp directly in the calling folder but the
# excluded ones (those a plug-in of the folder builds, see velk_plugin).
function(velk_module)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  velk_target_name_for_dir(${CMAKE_CURRENT_SOURCE_DIR} name)
  velk_register_module(${name} ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    # A folder of declarations only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# velk_plugin(NAME name SOURCES file... [DEPS target...]): a shared object of
# the calling module's folder that the module loads at run time, so that the
# libraries it stands on are mapped only when needed. Only its entry points
# are visible; the path it is built at is handed to the module as
# VELK_PLUGIN_PATH_<NAME> (upper case), and the module builds it along.
function(velk_plugin)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;DEPS" ${ARGN})
  velk_target_name_for_dir(${CMAKE_CURRENT_SOURCE_DIR} module)
  list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  add_library(${ARG_NAME} MODULE ${ARG_SOURCES})
  target_include_directories(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS})
  set_target_properties(${ARG_NAME} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${ARG_NAME} PRIVATE -Wl,-Bsymbolic)
  string(TOUPPER ${ARG_NAME} upper)
  string(REPLACE "-" "_" upper ${upper})
  target_compile_definitions(${module} PRIVATE VELK_PLUGIN_PATH_${upper}="$<TARGET_FILE:${ARG_NAME}>")
  add_dependencies(${module} ${ARG_NAME})
endfunction()

# velk_program(NAME name [DEPS target...]): an executable of every .cpp in the folder.
function(velk_program)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A program folder being set up: nothing to build yet.
    return()
  endif()
  velk_register_module(${ARG_NAME} ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_DEPS})
  add_executable(${ARG_NAME} ${sources})
  target_include_directories(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS})
endfunction()

# Every module and program says what it is made of and what it stands on, so
# that the dependency check (cmake/dependency_check.cmake) can hold each one to
# its declared dependencies once all of them are known.
function(velk_register_module name dir)
  set_property(GLOBAL APPEND PROPERTY VELK_MODULES ${name})
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
  set_property(GLOBAL PROPERTY VELK_MODULE_DIR_${name} ${rel})
  set_property(GLOBAL PROPERTY VELK_MODULE_DEPS_${name} ${ARGN})
endfunction()

# velk_test([DEPS target...]): the test program of the calling folder of
# tests: tests/lib/core -> test_lib_core, linked against the module of the same
# path when there is one, the given targets and the shared test support. The
# test runs headless inside a scratch folder of its own.
function(velk_test)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" module "${rel}")
  set(exe test_${module})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${exe} ${sources})
  target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR})
  set(deps ${ARG_DEPS})
  if(TARGET ${module})
    list(APPEND deps ${module})
  endif()
  target_link_libraries(${exe} PRIVATE ${deps} velk_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${module} COMMAND ${exe} --gtest_brief=1)
  set(scratch ${CMAKE_BINARY_DIR}/tests/scratch/${module})
  file(MAKE_DIRECTORY ${scratch})
  set_tests_properties(${module} PROPERTIES
    WORKING_DIRECTORY ${scratch}
    ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;VELK_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 600)
endfunction()

# velk_bench(NAME name [DEPS target...]): a Google Benchmark program from
# bench/<name>.cpp.
function(velk_bench)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  add_executable(${ARG_NAME} ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_NAME}.cpp)
  target_include_directories(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS} benchmark::benchmark_main)
endfunction()
