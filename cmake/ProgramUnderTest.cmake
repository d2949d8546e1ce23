# tarvex_program_under_test(<variable> <target>)
#
# Sets <variable> to a path that the end-to-end tests can execv to run the program built by
# <target>. Natively that is the program itself. In a cross build with an emulator (see
# armhf-toolchain.cmake) it is a small shell script, generated in the build tree, that runs the
# program through CMAKE_CROSSCOMPILING_EMULATOR: the tests start the programs under test as
# child processes, and the host kernel cannot run a target binary by itself. Host programs that
# the tests start (sh, sox) are not affected.
function(tarvex_program_under_test variable target)
  if(NOT CMAKE_CROSSCOMPILING OR NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(${variable} "$<TARGET_FILE:${target}>" PARENT_SCOPE)
    return()
  endif()
  set(wrapper ${CMAKE_BINARY_DIR}/emulated/${target})
  get_property(done GLOBAL PROPERTY TARVEX_EMULATED_${target})
  if(NOT done)
    set(command "")
    foreach(word IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
      string(APPEND command "'${word}' ")
    endforeach()
    file(GENERATE OUTPUT ${wrapper}
         CONTENT "#!/bin/sh\nexec ${command}'$<TARGET_FILE:${target}>' \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
    set_property(GLOBAL PROPERTY TARVEX_EMULATED_${target} TRUE)
  endif()
  set(${variable} ${wrapper} PARENT_SCOPE)
endfunction()
