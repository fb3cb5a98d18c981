# orb_embed(<target> NAME <symbol name> FILE <path>)
# Turns a binary file into a const byte array linked into <target>, so the
# data ships inside the executable and the firmware side needs no file access.
function(orb_embed target)
  cmake_parse_arguments(E "" "NAME;FILE" "" ${ARGN})
  set(out "${CMAKE_CURRENT_BINARY_DIR}/embed_${E_NAME}.cpp")
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DIN=${E_FILE} -DOUT=${out} -DNAME=${E_NAME}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS "${E_FILE}" ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
endfunction()
