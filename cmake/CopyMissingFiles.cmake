# Run as a script: cmake -DSOURCE=<folder> -DDESTINATION=<folder> -P CopyMissingFiles.cmake
# Copies each file under SOURCE to the same place under DESTINATION unless something is there
# already, so a rebuild never replaces a file that the program or the operator wrote.
if(NOT SOURCE OR NOT DESTINATION)
  message(FATAL_ERROR "CopyMissingFiles.cmake needs SOURCE and DESTINATION")
endif()
file(GLOB_RECURSE shipped RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(relative IN LISTS shipped)
  set(target "${DESTINATION}/${relative}")
  if(EXISTS "${target}" OR IS_SYMLINK "${target}")
    continue()
  endif()
  get_filename_component(folder "${target}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY "${SOURCE}/${relative}" DESTINATION "${folder}")
endforeach()
