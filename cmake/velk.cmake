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

# velk_module([DEPS target...] [PRIVATE_DEPS target...])
# A static library of every .cpp directly in the calling folder.
function(velk_module)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  velk_target_name_for_dir(${CMAKE_CURRENT_SOURCE_DIR} name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
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

# velk_program(NAME name [DEPS target...]): an executable of every .cpp in the folder.
function(velk_program)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A program folder being set up: nothing to build yet.
    return()
  endif()
  add_executable(${ARG_NAME} ${sources})
  target_include_directories(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS})
endfunction()
