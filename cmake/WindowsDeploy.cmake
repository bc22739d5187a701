# The Windows program as it is shipped: the programs, and beside them everything they need to
# start on a clean Windows (the Qt libraries, the window-system and style plugins, the MinGW
# runtime), all in one folder. `make windows-package` installs this into a staging folder and
# makes the installer and the portable zip from it.
get_target_property(_orbiqa_qtcore_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT _orbiqa_qtcore_dll)
    get_target_property(_orbiqa_qtcore_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(ORBIQA_QT_BIN_DIR ${_orbiqa_qtcore_dll} DIRECTORY)
get_filename_component(ORBIQA_QT_PLUGIN_DIR ${ORBIQA_QT_BIN_DIR}/../plugins ABSOLUTE)

# The compiler knows where its own runtime libraries are.
set(ORBIQA_MINGW_RUNTIME_DLLS "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
        message(FATAL_ERROR "The MinGW runtime library ${dll} was not found beside ${CMAKE_CXX_COMPILER}.")
    endif()
    get_filename_component(_path ${_path} REALPATH)
    list(APPEND ORBIQA_MINGW_RUNTIME_DLLS ${_path})
endforeach()

foreach(program orbiqa orbiqa-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION .)
    endif()
endforeach()
install(FILES ${ORBIQA_QT_BIN_DIR}/Qt6Core.dll ${ORBIQA_QT_BIN_DIR}/Qt6Gui.dll ${ORBIQA_QT_BIN_DIR}/Qt6Widgets.dll
              ${ORBIQA_MINGW_RUNTIME_DLLS}
        DESTINATION .)
install(FILES ${ORBIQA_QT_PLUGIN_DIR}/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${ORBIQA_QT_PLUGIN_DIR}/styles/qwindowsvistastyle.dll DESTINATION styles)
# The site register's databases: the SQLite file (the driver carries SQLite itself) and, through
# ODBC and the driver an office installs, its PostgreSQL server.
install(FILES ${ORBIQA_QT_BIN_DIR}/Qt6Sql.dll DESTINATION .)
install(FILES ${ORBIQA_QT_PLUGIN_DIR}/sqldrivers/qsqlite.dll ${ORBIQA_QT_PLUGIN_DIR}/sqldrivers/qsqlodbc.dll
        DESTINATION sqldrivers)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/windows/orbiqa.ico DESTINATION .)

# Qt's own texts in Hungarian (file dialogs, standard buttons), which the program loads from
# translations/ beside it. Debian's file serves every system: a .qm file is the same everywhere.
set(ORBIQA_QT_HUNGARIAN_QM /usr/share/qt6/translations/qtbase_hu.qm CACHE FILEPATH
    "Qt's Hungarian translation shipped with the Windows program")
if(NOT EXISTS ${ORBIQA_QT_HUNGARIAN_QM})
    message(FATAL_ERROR "${ORBIQA_QT_HUNGARIAN_QM} is missing (Debian package qt6-translations-l10n).")
endif()
install(FILES ${ORBIQA_QT_HUNGARIAN_QM} DESTINATION translations)
# The programs in the build folder find it as the installed ones do.
file(COPY ${ORBIQA_QT_HUNGARIAN_QM} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/translations)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/cli.md ${CMAKE_SOURCE_DIR}/docs/portability.md
        DESTINATION doc)
