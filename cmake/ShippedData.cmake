# The Data folder beside a built program: the shipped defaults (language files, sounds, type
# pictures) are copied after each build where the build's folder lacks them.

# zt_copy_shipped_data(<target> <shipped folder> <destination folder>)
function(zt_copy_shipped_data target source destination)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DDESTINATION=${destination}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CopyMissingFiles.cmake
    VERBATIM)
endfunction()
