# Helpers shared by the libraries' build files.

# pyrelune_embed_resources(<target> <module> STRINGS <file> BLOBS <id> <file> ...)
# Generates a source that registers a module's resources when the library
# loads: the string table (lines "id<TAB>text", C escapes allowed in text) and
# binary resources (RT_RCDATA) read from files at build time.
function(pyrelune_embed_resources target module)
  cmake_parse_arguments(ARG "" "STRINGS" "BLOBS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${module}_resources.cpp)
  set(deps)
  set(args -DMODULE=${module} -DOUT=${out})
  if(ARG_STRINGS)
    list(APPEND args -DSTRINGS=${ARG_STRINGS})
    list(APPEND deps ${ARG_STRINGS})
  endif()
  set(blob_list "")
  list(LENGTH ARG_BLOBS n)
  if(n GREATER 0)
    math(EXPR last "${n} - 1")
    foreach(i RANGE 0 ${last} 2)
      math(EXPR j "${i} + 1")
      list(GET ARG_BLOBS ${i} id)
      list(GET ARG_BLOBS ${j} file)
      string(APPEND blob_list "${id}=${file}|")
      list(APPEND deps ${file})
    endforeach()
  endif()
  list(APPEND args "-DBLOBS=${blob_list}")
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} ${args} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedResources.cmake
    DEPENDS ${deps} ${PROJECT_SOURCE_DIR}/cmake/EmbedResources.cmake
    COMMENT "Embedding resources of ${module}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
