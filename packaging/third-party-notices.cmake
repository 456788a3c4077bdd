cmake_policy(VERSION 3.21)

# Runs at the end of the Windows install: writes THIRD-PARTY-NOTICES.txt beside the
# program, for the third-party files that were actually installed, with the licence
# texts taken from the system (Debian's common licences, the MinGW packages' copyright
# files, Qt's own SBOM and licence texts). Set by the install code before it:
#   IVL_NOTICE_PRODUCT      "Ironvale Mod Installer 1.0"
#   IVL_NOTICE_WORK_DIR     a build folder to write the file in first
#   IVL_QT_VERSION, IVL_QT_SBOM, IVL_QT_LICENSES (a folder of <SPDX id>.txt), IVL_LGPL3_TEXT
#   IVL_IMLIB2_COPYRIGHT (Debian's imlib2 copyright file, for the one text Qt lacks)
#   IVL_GCC_VERSION, IVL_GCC_COPYRIGHT, IVL_MINGW_COPYRIGHT

# CMake lists split at ';' and cannot hold '[' or ']' safely: keep those as control
# characters while the text is cut into paragraphs.
string(ASCII 1 _semicolon)
string(ASCII 2 _open)
string(ASCII 3 _close)
function(_ivl_paragraphs file out)
    file(READ "${file}" text)
    string(REPLACE ";" "${_semicolon}" text "${text}")
    string(REPLACE "[" "${_open}" text "${text}")
    string(REPLACE "]" "${_close}" text "${text}")
    string(REGEX REPLACE "\n([ \t]*\n)+" ";" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
function(_ivl_restore var)
    set(text "${${var}}")
    string(REPLACE "${_semicolon}" ";" text "${text}")
    string(REPLACE "${_open}" "[" text "${text}")
    string(REPLACE "${_close}" "]" text "${text}")
    set(${var} "${text}" PARENT_SCOPE)
endfunction()

# What was installed, by file name.
set(_installed)
foreach(_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    get_filename_component(_name "${_file}" NAME)
    list(APPEND _installed "${_name}")
endforeach()
function(_ivl_shipped out)
    set(found)
    foreach(name IN LISTS ARGN)
        if(name IN_LIST _installed)
            list(APPEND found "${name}")
        endif()
    endforeach()
    list(JOIN found ", " found)
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(_rule "================================================================================")
set(_notice "Third-party software in ${IVL_NOTICE_PRODUCT} for Windows
${_rule}

${IVL_NOTICE_PRODUCT} itself is free software under the GNU General Public
License, version 3 or (at your option) any later version: see LICENSE.txt. That
file is also the full text of the GPL version 3 that the licences below refer to.

This copy of the program comes with the following third-party software.
")
set(_appendix "")

# Qt: the DLLs and plugins, under the LGPL version 3.
_ivl_shipped(_qt Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll qwindows.dll qmodernwindowsstyle.dll
    qwindowsvistastyle.dll qico.dll)
if(_qt)
    string(REGEX MATCH "^[0-9]+\\.[0-9]+" _qt_series "${IVL_QT_VERSION}")
    file(READ "${IVL_LGPL3_TEXT}" _lgpl)
    string(APPEND _notice "
${_rule}
Qt ${IVL_QT_VERSION}
${_rule}
Files: ${_qt}
Copyright (C) The Qt Company Ltd. and other contributors.
Licence: GNU Lesser General Public License, version 3 (LGPL-3.0-only); its text
is at the end of this file, and it builds on the GPL version 3 in LICENSE.txt.

The program uses these Qt libraries unchanged, as separate DLLs: you may replace
them with your own build of Qt ${IVL_QT_VERSION} (or a compatible version).
Qt's source code: https://download.qt.io/archive/qt/${_qt_series}/${IVL_QT_VERSION}/submodules/qtbase-everywhere-src-${IVL_QT_VERSION}.tar.xz
and git://code.qt.io/qt/qtbase.git (tag v${IVL_QT_VERSION}). For three years from the
release of this package the maintainers also send, on request, the exact Qt source
and build settings used for these DLLs.
")
    # Code from others that Qt carries inside the shipped DLLs and plugins: what Qt's
    # SBOM says they depend on, followed through, and the full text of each licence.
    _ivl_paragraphs("${IVL_QT_SBOM}" _packages)
    set(_roots)
    foreach(_p IN LISTS _packages)
        if(_p MATCHES "(^|\n)PackageName: ([^\n]+)\nSPDXID: ([^\n]+)")
            set(_sbom_name "${CMAKE_MATCH_2}")
            set(_sbom_id "${CMAKE_MATCH_3}")
            foreach(_pair Core:Qt6Core.dll Gui:Qt6Gui.dll Widgets:Qt6Widgets.dll
                    QWindowsIntegrationPlugin:qwindows.dll
                    QModernWindowsStylePlugin:qmodernwindowsstyle.dll
                    QWindowsVistaStylePlugin:qwindowsvistastyle.dll QICOPlugin:qico.dll)
                string(REPLACE ":" ";" _pair "${_pair}")
                list(GET _pair 0 _module)
                list(GET _pair 1 _dll)
                if(_sbom_name STREQUAL _module AND _dll IN_LIST _installed)
                    list(APPEND _roots "${_sbom_id}")
                endif()
            endforeach()
        endif()
    endforeach()
    file(STRINGS "${IVL_QT_SBOM}" _relations REGEX "^Relationship: [^ ]+ DEPENDS_ON [^ ]+$")
    foreach(_r IN LISTS _relations)
        string(REGEX REPLACE "^Relationship: ([^ ]+) DEPENDS_ON ([^ ]+)$" "\\1;\\2" _r "${_r}")
        list(GET _r 0 _from)
        list(GET _r 1 _to)
        list(APPEND _deps_${_from} "${_to}")
    endforeach()
    set(_reached "${_roots}")
    set(_queue "${_roots}")
    while(_queue)
        list(POP_FRONT _queue _id)
        foreach(_dep IN LISTS _deps_${_id})
            if(NOT _dep IN_LIST _reached)
                list(APPEND _reached "${_dep}")
                list(APPEND _queue "${_dep}")
            endif()
        endforeach()
    endwhile()

    string(APPEND _notice "
Qt includes third-party code with licences and copyrights of its own; the full
text of each licence named here follows at the end of this file:
")
    set(_licence_ids)
    foreach(_p IN LISTS _packages)
        if(NOT _p MATCHES "(^|\n)PackageName: ([^\n]+)\nSPDXID: ([^\n]+)")
            continue()
        endif()
        set(_id "${CMAKE_MATCH_2}")
        # Bundled and attributed code only: the system libraries it names are Windows'.
        if(NOT CMAKE_MATCH_3 IN_LIST _reached OR NOT CMAKE_MATCH_3 MATCHES "-qt-(bundled-)?3rdparty-")
            continue()
        endif()
        set(_name "${_id}")
        if(_p MATCHES "\n +Name: ([^\n]+)")
            set(_name "${CMAKE_MATCH_1}")
        endif()
        set(_version "")
        if(_p MATCHES "\nPackageVersion: ([^\n]+)")
            set(_version " ${CMAKE_MATCH_1}")
        endif()
        set(_licence "see Qt's source")
        if(_p MATCHES "\nPackageLicenseConcluded: ([^\n]+)" AND NOT CMAKE_MATCH_1 STREQUAL "NOASSERTION")
            set(_licence "${CMAKE_MATCH_1}")
            string(REGEX MATCHALL "[A-Za-z0-9.+-]+" _tokens "${_licence}")
            list(REMOVE_ITEM _tokens AND OR WITH)
            list(APPEND _licence_ids ${_tokens})
        endif()
        set(_copyright "")
        if(_p MATCHES "\nPackageCopyrightText: <text>(.*)</text>\nPrimaryPackagePurpose")
            string(STRIP "${CMAKE_MATCH_1}" _copyright)
            string(REGEX REPLACE "[ \t]*\n[ \t]*" "\n    " _copyright "\n${_copyright}")
        endif()
        _ivl_restore(_copyright)
        _ivl_restore(_name)
        # The same code is often listed once per module that uses it.
        set(_entry "\n  - ${_name}${_version} (${_licence})${_copyright}\n")
        string(FIND "${_notice}" "${_entry}" _seen)
        if(_seen EQUAL -1)
            string(APPEND _notice "${_entry}")
        endif()
    endforeach()
    # FreeType's licence asks for this credit in the documentation.
    if(_notice MATCHES "\n  - Freetype 2 ")
        string(APPEND _notice "
Portions of this software are copyright (C) 2024 The FreeType Project
(www.freetype.org). All rights reserved.
")
    endif()
    list(REMOVE_DUPLICATES _licence_ids)
    list(SORT _licence_ids)
    foreach(_licence IN LISTS _licence_ids)
        set(_file "${IVL_QT_LICENSES}/${_licence}.txt")
        if(EXISTS "${_file}")
            file(READ "${_file}" _text)
        elseif(_licence STREQUAL "Imlib2" AND EXISTS "${IVL_IMLIB2_COPYRIGHT}")
            # Not among Qt's licence files (Qt quotes it in its source only): Debian's
            # imlib2 package has the text, in its copyright file's licence paragraph.
            _ivl_paragraphs("${IVL_IMLIB2_COPYRIGHT}" _imlib2)
            set(_text "")
            foreach(_p IN LISTS _imlib2)
                if(_p MATCHES "^License: imlib2-license\n(.*)$")
                    string(REGEX REPLACE "(^|\n) \\.(\n|$)" "\\1\\2" _text "${CMAKE_MATCH_1}")
                    string(REGEX REPLACE "(^|\n) " "\\1" _text "${_text}")
                    _ivl_restore(_text)
                endif()
            endforeach()
        else()
            set(_text "")
        endif()
        if(NOT _text)
            message(FATAL_ERROR "Qt's bundled code is under ${_licence}, but its text is not "
                "in ${IVL_QT_LICENSES}/${_licence}.txt")
        endif()
        string(APPEND _appendix "
${_rule}
${_licence} (for code that Qt includes)
${_rule}

${_text}")
    endforeach()
    string(APPEND _appendix "
${_rule}
GNU Lesser General Public License, version 3 (for Qt)
${_rule}

${_lgpl}")
endif()

# GCC's runtime: GPL version 3 or later with the GCC Runtime Library Exception 3.1.
_ivl_shipped(_gcc libstdc++-6.dll libgcc_s_seh-1.dll)
if(_gcc)
    file(READ "${IVL_GCC_COPYRIGHT}" _text)
    string(FIND "${_text}" "GCC RUNTIME LIBRARY EXCEPTION" _from)
    string(FIND "${_text}" "requirements of the license of GCC." _to)
    if(_from EQUAL -1 OR _to EQUAL -1)
        message(FATAL_ERROR "${IVL_GCC_COPYRIGHT} holds no GCC Runtime Library Exception")
    endif()
    math(EXPR _length "${_to} + 35 - ${_from}")
    string(REGEX MATCH "^[0-9]+" _gcc_major "${IVL_GCC_VERSION}")
    string(SUBSTRING "${_text}" ${_from} ${_length} _exception)
    string(APPEND _notice "
${_rule}
GCC ${_gcc_major} runtime libraries (libstdc++, libgcc)
${_rule}
Files: ${_gcc}
Copyright (C) Free Software Foundation, Inc.
Licence: GNU General Public License, version 3 or later (LICENSE.txt), with the
GCC Runtime Library Exception, version 3.1, below.
Source code: https://gcc.gnu.org/ (releases at https://ftp.gnu.org/gnu/gcc/);
built by Debian as the source package gcc-mingw-w64.

${_exception}
")
endif()

# winpthreads from mingw-w64: every notice of its copyright file's winpthreads
# paragraphs (except its tests, which are not shipped), with the licences they name.
_ivl_shipped(_pthreads libwinpthread-1.dll)
if(_pthreads)
    _ivl_paragraphs("${IVL_MINGW_COPYRIGHT}" _paragraphs)
    set(_files_notes "")
    set(_licences)
    foreach(_p IN LISTS _paragraphs)
        if(_p MATCHES "^Files:([^\n]|\n[ \t])*mingw-w64-libraries/winpthreads/"
           AND NOT _p MATCHES "winpthreads/tests_pthread/")
            string(APPEND _files_notes "${_p}\n\n")
            if(_p MATCHES "\nLicense: ([^\n]+)")
                list(APPEND _licences "${CMAKE_MATCH_1}")
            endif()
        endif()
    endforeach()
    # Licences given by name only are spelled out in paragraphs of their own.
    list(REMOVE_DUPLICATES _licences)
    set(_licence_texts "")
    foreach(_p IN LISTS _paragraphs)
        if(_p MATCHES "^License: ([^\n]+)\n" AND CMAKE_MATCH_1 IN_LIST _licences)
            string(APPEND _licence_texts "${_p}\n\n")
        endif()
    endforeach()
    if(NOT _files_notes)
        message(FATAL_ERROR "${IVL_MINGW_COPYRIGHT} says nothing about winpthreads")
    endif()
    _ivl_restore(_files_notes)
    _ivl_restore(_licence_texts)
    string(APPEND _notice "
${_rule}
winpthreads (mingw-w64)
${_rule}
Files: ${_pthreads}
Source code: https://www.mingw-w64.org/ (mingw-w64-libraries/winpthreads); built by
Debian as the source package mingw-w64. Its notices, as Debian records them:

${_files_notes}${_licence_texts}")
endif()

set(_out "${IVL_NOTICE_WORK_DIR}/THIRD-PARTY-NOTICES.txt")
# Windows line ends, so Notepad on any version shows the lines.
string(REPLACE "\r\n" "\n" _all "${_notice}${_appendix}")
string(REPLACE "\n" "\r\n" _all "${_all}")
file(WRITE "${_out}" "${_all}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}" TYPE FILE FILES "${_out}")
