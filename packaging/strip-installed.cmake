# Runs last in the Windows install. `cmake --install --strip` and CPack's
# CPACK_STRIP_FILES strip only the project's own targets, while the MinGW runtime
# DLLs it ships carry their debug information (libstdc++-6.dll: 26 MB, 2.2 MB stripped), so
# everything installed is stripped here when stripping is asked for.
if(CMAKE_INSTALL_DO_STRIP AND IVL_STRIP)
    foreach(_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
        if(EXISTS "$ENV{DESTDIR}${_file}")
            set(_file "$ENV{DESTDIR}${_file}")
        endif()
        if(_file MATCHES "\\.(dll|exe)$")
            execute_process(COMMAND "${IVL_STRIP}" --strip-unneeded "${_file}"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()
    endforeach()
endif()
