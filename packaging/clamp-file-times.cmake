# Run by CPack on the staged install tree, before it packs it: every file and folder
# gets the date of SOURCE_DATE_EPOCH (the commit's, set by the build scripts), so the
# setup program, which records each file's time, is the same bytes from the same
# commit whenever and wherever it is built. Without the variable, times stay as built.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    return()
endif()
find_program(IVL_TOUCH touch)
if(NOT IVL_TOUCH)
    message(WARNING "No touch program: the packages keep the build's file times")
    return()
endif()
file(GLOB_RECURSE _entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(APPEND _entries "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
execute_process(COMMAND ${IVL_TOUCH} -h -d "@$ENV{SOURCE_DATE_EPOCH}" -- ${_entries}
    COMMAND_ERROR_IS_FATAL ANY)
