# host_add_resources(<target> NAME <file> [NAME <file> ...])
# Embeds the files in <target> as module resources under the given names.
set(HOST_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)
function(host_add_resources target)
  set(args ${ARGN})
  set(entries "")
  set(files "")
  list(LENGTH args n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET args ${i} name)
    list(GET args ${j} file)
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND entries "${name}=${file}")
    list(APPEND files "${file}")
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  # A list separator would not survive the command line: entries travel joined by "|".
  string(REPLACE ";" "|" entries_arg "${entries}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${out} "-DRESOURCES=${entries_arg}" -P ${HOST_EMBED_SCRIPT}
    DEPENDS ${files} ${HOST_EMBED_SCRIPT}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
