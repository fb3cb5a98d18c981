# The string tables: strings.txt (readable UTF-8) is compiled by tools/strgen
# into string-table blocks linked into orb_resources. The generator is a plain
# host tool, built in every configuration so the tables never go stale.
include(${PROJECT_SOURCE_DIR}/cmake/HostTool.cmake)
orb_host_tool(orb_strgen ${PROJECT_SOURCE_DIR}/tools/strgen/strgen.cpp)

set(ORB_STRINGS_SRC ${CMAKE_CURRENT_SOURCE_DIR}/strings/strings.txt)
set(ORB_STRINGS_OUT ${CMAKE_CURRENT_BINARY_DIR}/strtab_data.cpp)
add_custom_command(OUTPUT ${ORB_STRINGS_OUT}
  COMMAND ${ORB_HOST_TOOL_orb_strgen} ${ORB_STRINGS_SRC} ${ORB_STRINGS_OUT}
  DEPENDS ${ORB_HOST_TOOL_orb_strgen} ${ORB_STRINGS_SRC}
  COMMENT "Compiling the string tables"
  VERBATIM)
target_sources(orb_resources PRIVATE ${ORB_STRINGS_OUT})
