# host_include_root(<target> <folder>)
# Gives a host library an include root of its own: a folder in the build tree holding only a
# link named <folder> to the library's sources. Its headers are then included as
# "<folder>/Name.h", and a target sees exactly the folders of the host libraries it links, so
# rtl cannot include "vcl/..." and vcl cannot include "designide/...": the include fails to
# compile.
function(host_include_root target folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  set(link ${root}/${folder})
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} points_to)
    if(NOT points_to STREQUAL CMAKE_CURRENT_SOURCE_DIR)
      file(REMOVE ${link})
    endif()
  endif()
  if(NOT IS_SYMLINK ${link})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
