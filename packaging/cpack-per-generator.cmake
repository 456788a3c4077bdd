# Read by cpack once for each generator: the setup program is named apart from the zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
    # Where scripts/windows.sh was given a certificate, the setup signs its uninstaller
    # and itself (NSIS.template.in).
    set(CPACK_IVL_SIGN_COMMAND "")
    if(DEFINED ENV{IVL_SIGN_PFX})
        set(CPACK_IVL_SIGN_COMMAND "bash \"${CPACK_IVL_SIGN_SCRIPT}\"")
    endif()
endif()
