# Installs the help component into a fresh prefix and checks that the compiled help and its pages
# are in the program's Help folder there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} --component help
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing the help component failed: ${result}")
endif()
foreach(file brenvik.chm index.html system.html style.css)
  if(NOT EXISTS ${PREFIX}/${PROGRAM_DIR}/Help/${file})
    message(FATAL_ERROR "${PREFIX}/${PROGRAM_DIR}/Help/${file} was not installed")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
