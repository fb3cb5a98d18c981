# Architecture checks, run by ctest as a CMake script:
#   cmake -DCONFIG=<arch_config.cmake> -P check_arch.cmake
# CONFIG sets SOURCE_DIR, SYSTEM_DIRS (the compiler's own include directories
# and those of the imported libraries), LAYERS (ORB_LAYERS of the top-level
# CMakeLists.txt, bottom first, those that exist in this configuration), HOSTS
# (ORB_HOSTS: the hosts of the device, which sit side by side),
# WORK_DIR, GENERATOR, CXX_COMPILER, WITH_QT, ARCHIVES (target=archive of the
# built layers) and NM.
#
# 1. One-way layers. The project is configured afresh into WORK_DIR with
#    --graphviz, and every link edge of the graph CMake writes is held to the
#    order of LAYERS: a listed target links only targets listed before it,
#    never a later one nor a target outside the list (tests, tools). No cycle
#    may appear anywhere in the graph. No host links another host.
# 2. The built archives keep to the same order: no layer uses a symbol that
#    only a layer above it defines (an extern declaration or a header reached
#    by a relative path would do that behind the graph's back).
# 3. A project header must not shadow a system or standard header: with its
#    folder on the include path, "signal.h" would be found for <signal.h> too.
# 4. The firmware (the layers up to orb_firmware) asks nothing of the machine:
#    no C library routine whose result follows the process locale (printf and
#    scanf families, strtod, ctype, locales), the time zone, the environment,
#    the user or the working folder. Numbers are written by lcd/numtext.h.

cmake_minimum_required(VERSION 3.25)
include(${CONFIG})
set(faults "")

# ---- 1. layers ----

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/CMakeGraphVizOptions.cmake
  "set(GRAPHVIZ_EXTERNAL_LIBS FALSE)\nset(GRAPHVIZ_GENERATE_PER_TARGET FALSE)\nset(GRAPHVIZ_GENERATE_DEPENDERS FALSE)\n")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
          -DORB_WITH_QT=${WITH_QT} --graphviz=${WORK_DIR}/targets.dot
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK_DIR}/targets.dot)
  message(FATAL_ERROR "configuring for the target graph failed:\n${out}")
endif()

# Nodes:  "node3" [ label = "orb_lcd", shape = octagon ];
# Edges:  "node3" -> "node5" [ style = dotted ] // orb_lcd -> orb_flash
file(STRINGS ${WORK_DIR}/targets.dot lines)
set(nodes "")
set(edges "")
foreach(line IN LISTS lines)
  if(line MATCHES "^ *\"node[0-9]+\" \\[ label = \"([^\"]+)\", shape = ([a-z]+) \\];")
    list(APPEND nodes "${CMAKE_MATCH_1}")
    set(shape_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  elseif(line MATCHES "^ *\"node[0-9]+\" -> \"node[0-9]+\".*// ([^ ]+) -> ([^ ]+)$")
    list(APPEND edges "${CMAKE_MATCH_1}>${CMAKE_MATCH_2}")
    list(APPEND out_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endif()
endforeach()
list(LENGTH edges edge_count)
if(edge_count LESS 10)
  list(APPEND faults "only ${edge_count} edges read from ${WORK_DIR}/targets.dot")
endif()
foreach(target IN LISTS LAYERS)
  if(NOT target IN_LIST nodes)
    list(APPEND faults "${target} of ORB_LAYERS is not in the target graph")
  endif()
endforeach()

foreach(edge IN LISTS edges)
  string(REPLACE ">" ";" ends "${edge}")
  list(GET ends 0 from)
  list(GET ends 1 to)
  list(FIND LAYERS "${from}" from_rank)
  list(FIND LAYERS "${to}" to_rank)
  if(from_rank LESS 0 OR shape_${to} STREQUAL "egg")
    continue()  # tests and tools sit on top; an executable is a build tool, not linked
  endif()
  if(from IN_LIST HOSTS AND to IN_LIST HOSTS)
    list(APPEND faults "${from} links ${to}: hosts sit side by side")
  elseif(to_rank LESS 0)
    list(APPEND faults "${from} links ${to}, which is outside the layers")
  elseif(NOT to_rank LESS from_rank)
    list(APPEND faults "${from} links ${to}, which is not below it")
  endif()
endforeach()

# Cycles: strip targets that link nothing left, until none can go.
set(left ${nodes})
while(TRUE)
  set(kept "")
  foreach(node IN LISTS left)
    set(leaf TRUE)
    foreach(to IN LISTS out_${node})
      if(to IN_LIST left)
        set(leaf FALSE)
        break()
      endif()
    endforeach()
    if(NOT leaf)
      list(APPEND kept ${node})
    endif()
  endforeach()
  list(LENGTH left before)
  list(LENGTH kept after)
  set(left ${kept})
  if(after EQUAL before OR after EQUAL 0)
    break()
  endif()
endwhile()
# What is left lies on a cycle or links into one; name those on one.
set(on_cycle "")
foreach(start IN LISTS left)
  set(seen "")
  set(frontier ${out_${start}})
  while(frontier)
    list(POP_FRONT frontier node)
    if(node IN_LIST seen OR NOT node IN_LIST left)
      continue()
    endif()
    list(APPEND seen ${node})
    list(APPEND frontier ${out_${node}})
  endwhile()
  if(start IN_LIST seen)
    list(APPEND on_cycle ${start})
  endif()
endforeach()
if(on_cycle)
  list(JOIN on_cycle ", " text)
  list(APPEND faults "cycle through ${text}")
endif()

# ---- 2. symbols of the built archives ----

set(archive_count 0)
foreach(entry IN LISTS ARCHIVES)
  string(FIND "${entry}" "=" eq)
  string(SUBSTRING "${entry}" 0 ${eq} target)
  math(EXPR eq "${eq} + 1")
  string(SUBSTRING "${entry}" ${eq} -1 archive)
  list(FIND LAYERS ${target} rank)
  if(NOT EXISTS "${archive}")
    list(APPEND faults "${archive} of ${target} is not built")
    continue()
  endif()
  execute_process(COMMAND ${NM} -P -g "${archive}" OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND faults "${NM} failed on ${archive}")
    continue()
  endif()
  math(EXPR archive_count "${archive_count} + 1")
  set(used_${rank} "")
  string(REPLACE "\n" ";" symbols "${symbols}")
  foreach(line IN LISTS symbols)
    if(NOT line MATCHES "^([^ ]+) ([A-Za-z]) ")
      continue()
    endif()
    set(symbol "${CMAKE_MATCH_1}")
    set(type "${CMAKE_MATCH_2}")
    if(type STREQUAL "U" OR type STREQUAL "w" OR type STREQUAL "v")
      list(APPEND used_${rank} "${symbol}")
    elseif(NOT DEFINED "def_${symbol}")
      set("def_${symbol}" ${rank})  # archives come bottom first: the lowest definer
    endif()
  endforeach()
  set(archive_rank_${rank} ${target})
endforeach()
foreach(rank RANGE 0 100)
  if(NOT DEFINED archive_rank_${rank})
    continue()
  endif()
  list(REMOVE_DUPLICATES used_${rank})
  foreach(symbol IN LISTS used_${rank})
    if(DEFINED "def_${symbol}")
      set(lowest "${def_${symbol}}")
      if(rank LESS lowest)
        list(GET LAYERS ${lowest} owner)
        execute_process(COMMAND c++filt "${symbol}" OUTPUT_VARIABLE readable OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT readable)
          set(readable "${symbol}")
        endif()
        list(APPEND faults "${archive_rank_${rank}} uses ${readable}, which only ${owner} above it defines")
      endif()
    endif()
  endforeach()
endforeach()
# ---- 4. the firmware asks nothing of the machine ----

set(machine_symbols "^(_*v?(sn?|f|as)?printf(_chk)?|_*v?[sf]?scanf|__isoc(99|23)_.*|strto(d|f|ld)|atof|"
    "setlocale|localeconv|nl_langinfo|newlocale|uselocale|strcoll|strxfrm|strftime|localtime(_r)?|mktime|tzset|"
    "getenv|secure_getenv|getcwd|get_current_dir_name|getuid|geteuid|getlogin|getpwuid(_r)?|"
    "__ctype_(b|tolower|toupper)_loc|tolower|toupper|is(alpha|digit|alnum|space|upper|lower|print|punct|xdigit|"
    "graph|cntrl|blank)|_ZNSt6locale.*|_ZNS[io].*|_ZNSt7__cxx1118basic_stringstream.*)$")
string(JOIN "" machine_symbols ${machine_symbols})
list(FIND LAYERS orb_firmware firmware_rank)
set(firmware_archives 0)
foreach(rank RANGE 0 ${firmware_rank})
  if(NOT DEFINED archive_rank_${rank})
    continue()
  endif()
  math(EXPR firmware_archives "${firmware_archives} + 1")
  foreach(symbol IN LISTS used_${rank})
    if(symbol MATCHES "${machine_symbols}")
      list(APPEND faults "${archive_rank_${rank}} calls ${symbol}: its output would depend on the machine")
    endif()
  endforeach()
endforeach()
if(firmware_archives LESS 5)
  list(APPEND faults "only ${firmware_archives} firmware archives read for machine dependence")
endif()

list(LENGTH ARCHIVES wanted)
if(archive_count LESS wanted OR archive_count LESS 5)
  list(APPEND faults "only ${archive_count} of ${wanted} layer archives read")
endif()

# ---- 3. header names ----

file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.hpp)
list(FILTER headers EXCLUDE REGEX "^(build|\\.git)/")
foreach(header IN LISTS headers)
  # Every tail of the path is a name the header may be included by.
  set(name "${header}")
  while(TRUE)
    foreach(dir IN LISTS SYSTEM_DIRS)
      if(EXISTS "${dir}/${name}" AND NOT IS_DIRECTORY "${dir}/${name}")
        list(APPEND faults "${header} shadows ${dir}/${name}")
      endif()
    endforeach()
    string(FIND "${name}" "/" slash)
    if(slash LESS 0)
      break()
    endif()
    math(EXPR slash "${slash} + 1")
    string(SUBSTRING "${name}" ${slash} -1 name)
  endwhile()
endforeach()
list(LENGTH headers header_count)
if(header_count LESS 10)
  list(APPEND faults "only ${header_count} project headers found under ${SOURCE_DIR}")
endif()

list(REMOVE_DUPLICATES faults)
if(faults)
  list(JOIN faults "\n  " text)
  list(JOIN LAYERS " < " order)
  message(FATAL_ERROR "Architecture faults:\n  ${text}\nLayers, bottom first: ${order}")
endif()
list(LENGTH LAYERS layer_count)
message(STATUS "${edge_count} link edges, ${layer_count} layered targets, one way and acyclic; "
               "${archive_count} archives, no symbol from above, ${firmware_archives} firmware ones asking nothing of the machine; "
               "${header_count} project headers, none shadows a system header")
