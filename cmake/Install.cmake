# Install rules and the Debian package: the programs in bin, the desktop entry in
# share/applications, the icon in the hicolor theme, manual pages, the copyright file and the
# changelog. `make package` runs cpack in the build folder.
include(GNUInstallDirs)

foreach(program orbiqa orbiqa-modsim orbiqa-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# A stripped program keeps the compilers' version notes (.comment), which Debian's own stripping
# removes; so does this, whenever the install strips (cpack does).
find_program(ORBIQA_OBJCOPY NAMES ${CMAKE_OBJCOPY} objcopy)
if(ORBIQA_OBJCOPY AND NOT WIN32)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            foreach(program orbiqa orbiqa-modsim orbiqa-cli)
                set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
                if(EXISTS \"\${file}\")
                    execute_process(COMMAND \"${ORBIQA_OBJCOPY}\" --remove-section=.comment \"\${file}\")
                endif()
            endforeach()
        endif()")
endif()

set(ORBIQA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${ORBIQA_PACKAGING_DIR}/orbiqa.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# ".VR3" parameter files open in the program by double-click.
install(FILES ${ORBIQA_PACKAGING_DIR}/orbiqa-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME orbiqa.xml)
# The marker of an installed copy: settings go to the user's own folder (base/SettingsLocation.h).
install(FILES ${ORBIQA_PACKAGING_DIR}/orbiqa.installed DESTINATION ${CMAKE_INSTALL_DATADIR}/orbiqa)
install(FILES ${ORBIQA_PACKAGING_DIR}/orbiqa.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${ORBIQA_PACKAGING_DIR}/orbiqa-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME orbiqa.png)
endforeach()
install(FILES ${ORBIQA_PACKAGING_DIR}/bash-completion/orbiqa-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/cli.md ${CMAKE_SOURCE_DIR}/docs/modsim.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbiqa)
install(FILES ${ORBIQA_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbiqa)

# Manual pages: orbiqa's is written by hand (the program takes no arguments); orbiqa-cli's and
# orbiqa-modsim's are made from their --help, so they never disagree with it. Debian wants them,
# and the changelog, compressed with gzip -9n (no name or time stamp: reproducible).
find_program(ORBIQA_HELP2MAN help2man)
find_program(ORBIQA_GZIP gzip)
set(ORBIQA_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(ORBIQA_DOC_FILES)
if(ORBIQA_GZIP)
    function(orbiqa_gzip source target)
        add_custom_command(OUTPUT ${target}
            COMMAND ${ORBIQA_GZIP} -9n -c ${source} > ${target}
            DEPENDS ${source} VERBATIM)
    endfunction()
    file(MAKE_DIRECTORY ${ORBIQA_MAN_DIR})
    orbiqa_gzip(${ORBIQA_PACKAGING_DIR}/changelog ${ORBIQA_MAN_DIR}/changelog.gz)
    orbiqa_gzip(${ORBIQA_PACKAGING_DIR}/orbiqa.1 ${ORBIQA_MAN_DIR}/orbiqa.1.gz)
    set(ORBIQA_DOC_FILES ${ORBIQA_MAN_DIR}/changelog.gz ${ORBIQA_MAN_DIR}/orbiqa.1.gz)
    install(FILES ${ORBIQA_MAN_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbiqa)
    install(FILES ${ORBIQA_MAN_DIR}/orbiqa.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # help2man runs the programs, which a cross build cannot.
    if(ORBIQA_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
        set(orbiqa-cli_SUMMARY "service work on the GSM communicator module from a terminal")
        set(orbiqa-modsim_SUMMARY "simulated GSM communicator module on a pseudo-terminal")
        foreach(program orbiqa-cli orbiqa-modsim)
            if(TARGET ${program})
                add_custom_command(OUTPUT ${ORBIQA_MAN_DIR}/${program}.1
                    COMMAND ${ORBIQA_HELP2MAN} --no-info --no-discard-stderr
                            --version-string=${PROJECT_VERSION} --name=${${program}_SUMMARY}
                            --output=${ORBIQA_MAN_DIR}/${program}.1 $<TARGET_FILE:${program}>
                    DEPENDS ${program} VERBATIM)
                orbiqa_gzip(${ORBIQA_MAN_DIR}/${program}.1 ${ORBIQA_MAN_DIR}/${program}.1.gz)
                list(APPEND ORBIQA_DOC_FILES ${ORBIQA_MAN_DIR}/${program}.1.gz)
                install(FILES ${ORBIQA_MAN_DIR}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
            endif()
        endforeach()
    endif()
    add_custom_target(orbiqa_docs ALL DEPENDS ${ORBIQA_DOC_FILES})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbiqa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# A package built with the development key talks only to the simulator: its version says so.
if(ORBIQA_MODULE_KEY_IS_DEVELOPMENT)
    string(APPEND CPACK_PACKAGE_VERSION "+devkey")
endif()
set(CPACK_PACKAGE_VENDOR "Orbiqa")
set(CPACK_PACKAGE_CONTACT "Orbiqa developers <orbiqa@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and configuration tool for a GSM communicator module")
# The long description only: CPack puts the summary in front of it as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orbiqa connects to the module over a serial port, shows its live state and
text messages, reads, edits, writes and compares its parameters and keeps
them in files. orbiqa-cli does the same service work from a terminal or a
script; orbiqa-modsim plays the module on a pseudo-terminal for trying the
program without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps (dpkg-dev) derives the dependencies with their versions from the binaries;
# without it, the libraries they link are named plainly.
# The window-system plugins (xcb, wayland) and Qt's Hungarian texts (qtbase_hu.qm) are loaded at
# run time, so no library dependency names them; without the plugins the program cannot open a
# window on a desktop, and without the texts Qt's dialogs speak English. The site register's
# SQLite driver is a plugin too; the PostgreSQL driver serves only an office's shared database.
find_program(ORBIQA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ORBIQA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, libqt6sql6-sqlite")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6, libqt6gui6, libqt6core6, libqt6sql6, libqt6sql6-sqlite, qt6-qpa-plugins, qt6-translations-l10n, libssl3, libudev1, libc6, libstdc++6, libgcc-s1")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
include(CPack)
