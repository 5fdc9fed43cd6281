# Checks that the layers only point down, across the whole tree:
#   host/rtl        includes no vcl or designide header
#   host/vcl        includes no designide header
#   host/*          includes nothing of ide/ and no Qt
#   package/        (the add-in) includes nothing of ide/ and no Qt
#   ide/commands, ide/core   include neither front end nor Qt, nor the mirrors
#   ide/mirrors     (the Qt views both Qt front ends share) includes the host and Qt only
#   ide/shell, ide/desktop   never include each other; only the Qt front ends include the mirrors
#   ide/designer    (the Qt Designer / Qt Creator plugin) includes the model and the mirrors,
#                   neither the command interpreter nor another front end; nothing includes it
#   ide/embed       (the C interface for the Lazarus package) includes the model and the host
# A header counts by its path ("vcl/Menus.h") or, for headers included without a folder, by its
# name. -DSOURCE=the project's folder.
function(headers_of dir out)
  file(GLOB files RELATIVE ${SOURCE}/${dir} ${SOURCE}/${dir}/*.h)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(check dir forbidden_headers forbidden_regex)
  file(GLOB files ${SOURCE}/${dir}/*.h ${SOURCE}/${dir}/*.cpp)
  if(NOT files)
    message(SEND_ERROR "${dir} has no sources: the check looks in the wrong place")
  endif()
  foreach(f IN LISTS files)
    file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"<]*[\"<]([^\">]*)[\">].*$" "\\1" header "${line}")
      get_filename_component(name ${header} NAME)
      list(FIND forbidden_headers ${name} at)
      if(NOT at EQUAL -1 OR (forbidden_regex AND header MATCHES "${forbidden_regex}"))
        message(SEND_ERROR "${f} includes ${header}, which its layer may not see")
      endif()
    endforeach()
  endforeach()
endfunction()

headers_of(host/vcl vcl_headers)
headers_of(host/designide designide_headers)
headers_of(ide/core core_headers)
headers_of(ide/commands commands_headers)
headers_of(ide/shell shell_headers)
headers_of(ide/desktop desktop_headers)
headers_of(ide/mirrors mirrors_headers)
headers_of(ide/designer designer_headers)
set(ide_headers ${core_headers} ${commands_headers} ${shell_headers} ${desktop_headers}
    ${mirrors_headers} ${designer_headers})
# Qt, the line editor, and any folder of the stand-in IDE.
set(no_ide_or_qt "^Q|readline|^(ide|core|commands|shell|desktop|mirrors|designer)/")

check(host/rtl "${vcl_headers};${designide_headers};${ide_headers}" "${no_ide_or_qt}|^(vcl|designide)/")
check(host/vcl "${designide_headers};${ide_headers}" "${no_ide_or_qt}|^designide/")
check(host/designide "${ide_headers}" "${no_ide_or_qt}")
check(package "${ide_headers}" "${no_ide_or_qt}")

check(ide/mirrors "${core_headers};${commands_headers};${shell_headers};${desktop_headers};${designer_headers}"
      "readline|^(ide|core|commands|shell|desktop|designer)/")
check(ide/shell "${desktop_headers};${mirrors_headers};${designer_headers}" "^Q|desktop/|mirrors/|designer/")
check(ide/desktop "${shell_headers};${designer_headers}" "shell/|readline|designer/")
check(ide/commands "${shell_headers};${desktop_headers};${mirrors_headers};${designer_headers}"
      "^Q|readline|shell/|desktop/|mirrors/|designer/")
check(ide/core "${shell_headers};${desktop_headers};${commands_headers};${mirrors_headers};${designer_headers}"
      "^Q|readline|shell/|desktop/|mirrors/|commands/|designer/")
check(ide/designer "${shell_headers};${desktop_headers};${commands_headers}"
      "readline|shell/|desktop/|commands/")
# The C interface for the Lazarus package: the model and the host libraries, no Qt, no mirrors,
# no front end.
check(ide/embed "${shell_headers};${desktop_headers};${commands_headers};${mirrors_headers};${designer_headers}"
      "^Q|readline|shell/|desktop/|mirrors/|commands/|designer/")
