# Windows: one folder that runs wherever it is unpacked, on a machine with nothing installed:
# the three programs, the Qt and MinGW runtime DLLs they load, the platform and style plugins,
# the language files, Qt's translations, the licence and a short README. CPack makes a portable
# zip of it and an NSIS installer (64-bit, into Program Files, with Start-menu entries and an
# uninstaller).
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network SerialPort)

set(PORTEVAL_PROGRAMS porteval porteval-cli porteval-terminal-sim)
install(TARGETS ${PORTEVAL_PROGRAMS} RUNTIME DESTINATION .)
install(FILES ${PORTEVAL_LANGUAGE_FILES} DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)
configure_file(windows/README.txt.in "${CMAKE_CURRENT_BINARY_DIR}/README.txt" @ONLY)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/README.txt" DESTINATION .)

# The manual: README.md, the pages of docs/ and the changes as HTML (cmark, from Debian's
# package), with their pictures, in manual\, manual\index.html the front page.
find_program(PORTEVAL_CMARK cmark REQUIRED)
file(GLOB PORTEVAL_MANUAL_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/docs/*.md")
list(APPEND PORTEVAL_MANUAL_SOURCES "${PROJECT_SOURCE_DIR}/README.md"
     "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
set(PORTEVAL_MANUAL)
foreach(source IN LISTS PORTEVAL_MANUAL_SOURCES)
    get_filename_component(name "${source}" NAME_WE)
    string(REPLACE README index name "${name}")
    string(TOLOWER "${name}" name)
    set(page "${CMAKE_CURRENT_BINARY_DIR}/manual/${name}.html")
    add_custom_command(OUTPUT "${page}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/manual"
        COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/windows/markdown-to-html.sh" "${source}" "${page}"
        DEPENDS "${source}" windows/markdown-to-html.sh
        VERBATIM)
    list(APPEND PORTEVAL_MANUAL "${page}")
endforeach()
add_custom_target(porteval_manual ALL DEPENDS ${PORTEVAL_MANUAL})
file(GLOB PORTEVAL_MANUAL_PICTURES "${PROJECT_SOURCE_DIR}/docs/*.png")
install(FILES ${PORTEVAL_MANUAL} ${PORTEVAL_MANUAL_PICTURES} DESTINATION manual)

# Qt, and where Qt looks first for its plugins: beside the program.
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::SerialPort
        RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(FILES "$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>" DESTINATION platforms)
# One plugin holds the Windows 11 style and the Windows Vista style (10): Qt picks the one that
# fits the system it runs on.
install(FILES "$<TARGET_FILE:Qt6::QModernWindowsStylePlugin>" DESTINATION styles)

# Qt's own translations of its dialogs, buttons and menus for the languages of the language
# files (Brazilian Portuguese: Qt has no European Portuguese), in translations/, where the window
# looks first. They must be those of the Qt release the programs are built with.
set(PORTEVAL_QT_TRANSLATIONS_DIR "/usr/share/qt6/translations" CACHE PATH
    "The qtbase_*.qm files of the Qt release the Windows programs are built with")
foreach(language IN LISTS PORTEVAL_QT_TRANSLATIONS)
    set(qm "${PORTEVAL_QT_TRANSLATIONS_DIR}/qtbase_${language}.qm")
    if(NOT EXISTS "${qm}")
        message(FATAL_ERROR "${qm} is missing: install Qt ${Qt6_VERSION}'s translations "
                            "(Debian: qt6-translations-l10n) or set PORTEVAL_QT_TRANSLATIONS_DIR")
    endif()
    install(FILES "${qm}" DESTINATION translations)
endforeach()
# Debian's files say which Qt release they belong to.
find_program(PORTEVAL_DPKG_QUERY dpkg-query)
if(PORTEVAL_DPKG_QUERY AND PORTEVAL_QT_TRANSLATIONS_DIR STREQUAL "/usr/share/qt6/translations")
    execute_process(COMMAND "${PORTEVAL_DPKG_QUERY}" -W "-f=\${Version}" qt6-translations-l10n
                    OUTPUT_VARIABLE translations_version ERROR_QUIET)
    string(REGEX REPLACE "^([0-9]+:)?([0-9.]+).*$" "\\2" translations_version
                         "${translations_version}")
    if(NOT translations_version STREQUAL Qt6_VERSION)
        message(FATAL_ERROR "qt6-translations-l10n is ${translations_version}, the Windows Qt "
                            "${Qt6_VERSION}: build where both are the same release (scripts/"
                            "build-windows.sh) or set PORTEVAL_QT_TRANSLATIONS_DIR")
    endif()
endif()

# The compiler's runtime, which every program and Qt DLL loads; Debian ships it with its symbols,
# which would triple the zip, so a stripped copy goes in.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
                    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    set(stripped "${CMAKE_CURRENT_BINARY_DIR}/runtime/${dll}")
    if(NOT EXISTS "${stripped}" OR "${dll_path}" IS_NEWER_THAN "${stripped}")
        file(COPY "${dll_path}" DESTINATION "${CMAKE_CURRENT_BINARY_DIR}/runtime")
        execute_process(COMMAND "${CMAKE_STRIP}" --strip-unneeded "${stripped}"
                        RESULT_VARIABLE strip_result)
        if(NOT strip_result EQUAL 0)
            message(FATAL_ERROR "could not strip ${stripped}")
        endif()
    endif()
    install(FILES "${stripped}" DESTINATION .)
endforeach()

set(CPACK_PACKAGE_NAME porteval)
set(CPACK_PACKAGE_VENDOR "porteval developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_FILE_NAME "porteval-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY porteval)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_STRIP_FILES ON)
# The installer's own file name: see the per-generator settings.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_SOURCE_DIR}/windows/cpack_per_generator.cmake")

# NSIS: a 64-bit installer (the default 32-bit stub does not start under 64-bit-only Wine) that
# installs into the 64-bit Program Files.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME porteval) # also the Start-menu folder
set(CPACK_NSIS_DISPLAY_NAME "porteval")
set(CPACK_NSIS_MUI_ICON "${CMAKE_CURRENT_SOURCE_DIR}/windows/porteval.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_CURRENT_SOURCE_DIR}/windows/porteval.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME porteval.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "${PORTEVAL_WEB_URL}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_PACKAGE_EXECUTABLES porteval porteval)
# The programs sit at the top of the folder, not in bin/.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The simulator needs to be told where to answer: a TCP port here, which porteval opens as
# tcp://127.0.0.1:4001. The demo entry starts the window with the simulated terminal built in.
# CPack passes these through two quoted CMake strings: single quotes for NSIS, and each
# backslash twice.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [=[
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\porteval (demo).lnk' '$INSTDIR\\porteval.exe' '--demo'
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\porteval terminal simulator.lnk' '$INSTDIR\\porteval-terminal-sim.exe' '--listen tcp://127.0.0.1:4001'
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\porteval manual.lnk' '$INSTDIR\\manual\\index.html'
]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete '$SMPROGRAMS\\$MUI_TEMP\\porteval (demo).lnk'
  Delete '$SMPROGRAMS\\$MUI_TEMP\\porteval terminal simulator.lnk'
  Delete '$SMPROGRAMS\\$MUI_TEMP\\porteval manual.lnk'
]=])
include(CPack)
