# Runs one end-to-end script and compares its transcript with the expected one.
# -DHOSTIDE=path -DSCRIPT=path -DWORK=folder for the run's own files.
# Besides "#! args:" and "#! exit:" (see CMakeLists.txt), "#! env: NAME=VALUE" sets a variable
# for the run and "#! creates: FILE" checks that the run made FILE in its folder.
# With the environment variable HOSTIDE_UPDATE_EXPECTED=1 the transcript is written as the
# expected one instead (review the change before committing it).
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)
set(expected_file ${dir}/${name}.expected)

# Each run works in a folder of its own, with a copy of the fixtures, so that scripts may write
# files beside them.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(EXISTS ${dir}/fixtures)
  file(COPY ${dir}/fixtures DESTINATION ${WORK})
endif()

set(args "")
set(expected_exit 0)
set(creates "")
file(STRINGS ${SCRIPT} directives REGEX "^#! ")
foreach(d IN LISTS directives)
  if(d MATCHES "^#! args: (.*)$")
    separate_arguments(more UNIX_COMMAND "${CMAKE_MATCH_1}")
    list(APPEND args ${more})
  elseif(d MATCHES "^#! exit: ([0-9]+)$")
    set(expected_exit ${CMAKE_MATCH_1})
  elseif(d MATCHES "^#! env: ([A-Za-z_][A-Za-z0-9_]*)=(.*)$")
    set(ENV{${CMAKE_MATCH_1}} "${CMAKE_MATCH_2}")
  elseif(d MATCHES "^#! creates: (.*)$")
    list(APPEND creates ${CMAKE_MATCH_1})
  endif()
endforeach()

# Never the real user's hive or history.
set(ENV{HOSTIDE_REGISTRY} ${WORK}/default-hive.db)
set(ENV{XDG_CONFIG_HOME} ${WORK})
set(ENV{XDG_STATE_HOME} ${WORK})
set(ENV{E2E_WORK} ${WORK})

execute_process(
  COMMAND ${HOSTIDE} --script ${SCRIPT} --registry hive.db ${args}
  WORKING_DIRECTORY ${WORK}
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)

if("$ENV{HOSTIDE_UPDATE_EXPECTED}" STREQUAL "1")
  file(WRITE ${expected_file} "${actual}")
endif()

set(failed FALSE)
if(NOT status STREQUAL "${expected_exit}")
  message("hostide exited with ${status}, expected ${expected_exit}")
  set(failed TRUE)
endif()
foreach(f IN LISTS creates)
  if(NOT EXISTS ${WORK}/${f})
    message("the run did not create ${f}")
    set(failed TRUE)
  endif()
endforeach()
if(NOT EXISTS ${expected_file})
  message("no expected transcript ${expected_file}")
  set(failed TRUE)
else()
  file(READ ${expected_file} expected)
  if(NOT actual STREQUAL expected)
    file(WRITE ${WORK}/actual.txt "${actual}")
    execute_process(COMMAND diff -u ${expected_file} ${WORK}/actual.txt)
    message("transcript differs from ${name}.expected (actual output in ${WORK}/actual.txt)")
    set(failed TRUE)
  endif()
endif()
if(failed)
  if(errors)
    message("standard error:\n${errors}")
  endif()
  message(FATAL_ERROR "e2e test ${name} failed")
endif()
