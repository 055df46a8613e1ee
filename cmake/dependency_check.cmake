# The dependency check: the declared dependencies of the modules are the
# truth, and the sources are held to them at configure time.
#
# - Every module has a rank from its folder (the table below, longest prefix
#   first); a module may declare only modules of its own rank or lower.
# - A quoted include of another module's header ("lib/core/log.h") must name a
#   module that the including module declares directly (or the module itself).
#   No quoted include names a header by an absolute path.
# - Above platform/, no source includes the operating system's or SDL's
#   headers, nor calls the POSIX time functions: those stay behind platform/.
# - game/ may include only the platform headers of an allow-list: the rest of
#   the platform reaches the game through lib/.
#
# A violation stops the configuration with one line per offending include, so
# the build and the test command fail on it.

set(VELK_RANKS
  platform        0
  lib/core        10
  lib/image       20
  lib/softrender  30
  lib/graphics    40
  lib/sound       40
  lib/movie       40
  lib/api         50
  game/data       60
  game/event      70
  game/map        80
  game/present    90
  tools           95
  game/shell      100
  app             110
  samples         110)

set(VELK_PLATFORM_HEADERS_FOR_GAME
  platform/base/clock.h
  platform/base/crt_parse.h
  platform/base/crt_random.h
  platform/base/debug_output.h
  platform/base/text_encoding.h
  platform/base/calendar_time.h
  platform/file/game_name.h
  platform/file/path_resolver.h
  platform/file/whole_file.h
  platform/midi/midi_player.h
  platform/speech/speech_synthesizer.h
  # Start-up's own calls to the system: the current folder, the search for
  # the game's font files and their registration.
  platform/file/current_directory.h
  platform/file/file_find.h
  platform/font/font_face_catalog.h)

# Headers that only platform/ may include (angle-bracket includes, matched from
# the start of the name).
set(VELK_PLATFORM_ONLY_INCLUDE_REGEX
  "^(SDL|GL/|GLES|EGL/|epoxy/|X11/|unistd\\.h|pthread\\.h|sys/|dirent\\.h|fcntl\\.h|iconv\\.h|cpuid\\.h|dlfcn\\.h|termios\\.h|ft2build\\.h|freetype/|fontconfig/|fluidsynth|espeak|alsa/|libav|libsw)")
set(VELK_PLATFORM_ONLY_CALL_REGEX "(localtime_r|gmtime_r|clock_gettime|mkstemp|readlink|realpath) *\\(")

function(velk_rank_of_dir dir out)
  set(best_len -1)
  set(best_rank "")
  set(ranks ${VELK_RANKS})
  list(LENGTH ranks n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    list(GET ranks ${i} prefix)
    math(EXPR j "${i} + 1")
    list(GET ranks ${j} rank)
    string(LENGTH "${prefix}" len)
    if((dir STREQUAL prefix OR dir MATCHES "^${prefix}/") AND len GREATER best_len)
      set(best_len ${len})
      set(best_rank ${rank})
    endif()
  endforeach()
  set(${out} "${best_rank}" PARENT_SCOPE)
endfunction()

# The module that owns the folder `dir` (the nearest folder upwards that is a
# module), or "" when none does.
function(velk_module_of_dir dir out)
  set(d "${dir}")
  while(NOT d STREQUAL "")
    get_property(owner GLOBAL PROPERTY VELK_MODULE_AT_${d})
    if(owner)
      set(${out} ${owner} PARENT_SCOPE)
      return()
    endif()
    get_filename_component(up "${d}" DIRECTORY)
    if(up STREQUAL d)
      break()  # a root ("/") is its own parent
    endif()
    set(d "${up}")
  endwhile()
  set(${out} "" PARENT_SCOPE)
endfunction()

function(velk_check_dependencies)
  get_property(modules GLOBAL PROPERTY VELK_MODULES)
  foreach(m IN LISTS modules)
    get_property(dir GLOBAL PROPERTY VELK_MODULE_DIR_${m})
    set_property(GLOBAL PROPERTY VELK_MODULE_AT_${dir} ${m})
  endforeach()

  set(problems "")
  foreach(m IN LISTS modules)
    get_property(dir GLOBAL PROPERTY VELK_MODULE_DIR_${m})
    get_property(deps GLOBAL PROPERTY VELK_MODULE_DEPS_${m})
    velk_rank_of_dir("${dir}" rank)
    if(rank STREQUAL "")
      list(APPEND problems "${dir}: the folder has no rank in cmake/dependency_check.cmake")
      continue()
    endif()

    foreach(dep IN LISTS deps)
      get_property(dep_dir GLOBAL PROPERTY VELK_MODULE_DIR_${dep})
      if(NOT dep_dir)
        continue()  # an outside library
      endif()
      velk_rank_of_dir("${dep_dir}" dep_rank)
      if(dep_rank GREATER rank)
        list(APPEND problems "${dir}: declares ${dep}, which ranks above it")
      endif()
    endforeach()

    file(GLOB sources ${CMAKE_SOURCE_DIR}/${dir}/*.h ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
    # Header-only folders below a module belong to it.
    file(GLOB_RECURSE nested ${CMAKE_SOURCE_DIR}/${dir}/*/*.h)
    foreach(h IN LISTS nested)
      file(RELATIVE_PATH rel_h ${CMAKE_SOURCE_DIR} ${h})
      get_filename_component(h_dir "${rel_h}" DIRECTORY)
      velk_module_of_dir("${h_dir}" h_owner)
      if(h_owner STREQUAL m)
        list(APPEND sources ${h})
      endif()
    endforeach()

    foreach(src IN LISTS sources)
      file(RELATIVE_PATH rel_src ${CMAKE_SOURCE_DIR} ${src})
      file(STRINGS ${src} includes REGEX "^[ \t]*#[ \t]*include")
      foreach(line IN LISTS includes)
        if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
          set(header "${CMAKE_MATCH_1}")
          if(NOT header MATCHES "/")
            continue()  # a header beside the source
          endif()
          if(IS_ABSOLUTE "${header}")
            list(APPEND problems "${rel_src}: includes \"${header}\" by an absolute path")
            continue()
          endif()
          get_filename_component(header_dir "${header}" DIRECTORY)
          velk_module_of_dir("${header_dir}" owner)
          if(owner STREQUAL "" OR owner STREQUAL m)
            continue()
          endif()
          if(NOT owner IN_LIST deps)
            list(APPEND problems "${rel_src}: includes \"${header}\" of ${owner}, which ${m} does not declare")
          endif()
          if(dir MATCHES "^game/" AND header MATCHES "^platform/"
             AND NOT header IN_LIST VELK_PLATFORM_HEADERS_FOR_GAME)
            list(APPEND problems "${rel_src}: includes \"${header}\", a platform header the game does not use directly")
          endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
          set(header "${CMAKE_MATCH_1}")
          if(NOT dir MATCHES "^platform(/|$)" AND header MATCHES "${VELK_PLATFORM_ONLY_INCLUDE_REGEX}")
            list(APPEND problems "${rel_src}: includes <${header}>, which only platform/ may use")
          endif()
        endif()
      endforeach()
      if(NOT dir MATCHES "^platform(/|$)")
        file(STRINGS ${src} calls REGEX "${VELK_PLATFORM_ONLY_CALL_REGEX}")
        if(calls)
          list(APPEND problems "${rel_src}: calls an operating-system time or file function that belongs behind platform/")
        endif()
      endif()
    endforeach()
  endforeach()

  if(problems)
    list(REMOVE_DUPLICATES problems)
    list(JOIN problems "\n  " text)
    message(SEND_ERROR "dependency check failed:\n  ${text}\n")
  endif()
endfunction()
