# Architecture checks, run by ctest as a CMake script:
#   cmake -DCONFIG=<arch_config.cmake> -P check_arch.cmake
# CONFIG sets SOURCE_DIR and SYSTEM_DIRS (the compiler's own include
# directories and those of the imported libraries).
#
# A project header must not shadow a system or standard header: with its
# folder on the include path, "signal.h" would be found for <signal.h> too.

cmake_minimum_required(VERSION 3.25)
include(${CONFIG})
set(faults "")

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
  message(FATAL_ERROR "Architecture faults:\n  ${text}")
endif()
message(STATUS "${header_count} project headers, none shadows a system header")
