# orb_host_tool(<name> <source>... [INCLUDES <dir>...])
# A generator that runs during the build: an ordinary executable target, or,
# when cross-compiling (the browser build), a program compiled by the build
# machine's own compiler into the build tree. Sets ORB_HOST_TOOL_<name> to
# what a custom command runs and depends on.
function(orb_host_tool name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "INCLUDES")
  set(sources ${ARG_UNPARSED_ARGUMENTS})
  if(NOT CMAKE_CROSSCOMPILING)
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
    set(ORB_HOST_TOOL_${name} ${name} PARENT_SCOPE)
    return()
  endif()
  find_program(ORB_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(exe ${CMAKE_BINARY_DIR}/host/${name})
  set(flags "")
  set(headers "")
  foreach(dir IN LISTS ARG_INCLUDES)
    list(APPEND flags -I${dir})
    file(GLOB dir_headers ${dir}/*.h)
    list(APPEND headers ${dir_headers})
  endforeach()
  add_custom_command(OUTPUT ${exe}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${ORB_HOST_CXX} -std=c++20 -O1 ${flags} ${sources} -o ${exe}
    DEPENDS ${sources} ${headers}
    COMMENT "Compiling ${name} for the build machine"
    VERBATIM)
  add_custom_target(${name} DEPENDS ${exe})
  set(ORB_HOST_TOOL_${name} ${exe} PARENT_SCOPE)
endfunction()
