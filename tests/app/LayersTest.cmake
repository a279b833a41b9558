# The pages and everything below them never include the main window: they reach the program only
# through what lies below them (the unexpected-error entry point, the models, the platform).
foreach(folder common crash memory platform processes startup sysinfo)
  file(GLOB_RECURSE sources ${SOURCE}/${folder}/*.h ${SOURCE}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "#include \"app/MainUnit.h\"")
    if(includes)
      message(SEND_ERROR "${source} includes the main window")
    endif()
  endforeach()
endforeach()
