# Install rules and the Debian package: the programs in bin, the desktop entry in
# share/applications, the icon in the hicolor theme. `make package` runs cpack in the build folder.
include(GNUInstallDirs)

foreach(program orbiqa orbiqa-modsim orbiqa-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

set(ORBIQA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${ORBIQA_PACKAGING_DIR}/orbiqa.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
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
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "service and configuration tool for a GSM communicator module
 Orbiqa connects to the module over a serial port, shows its live state and
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
# The window-system plugins (xcb, wayland) are loaded at run time, so no library dependency
# names them; without them the program cannot open a window on a desktop.
find_program(ORBIQA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ORBIQA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6, libqt6gui6, libqt6core6, qt6-qpa-plugins, libssl3, libudev1, libc6, libstdc++6, libgcc-s1")
endif()
include(CPack)
