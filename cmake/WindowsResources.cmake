# orbiqa_windows_resources(<target> <description>): the icon, the version resource and the
# manifest (no elevation, per-monitor DPI awareness) built into a Windows program. Does nothing
# elsewhere.
set(ORBIQA_WINDOWS_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging/windows)

function(orbiqa_windows_resources target description)
    if(NOT WIN32)
        return()
    endif()
    set(ORBIQA_RC_NAME ${target})
    set(ORBIQA_RC_FILE ${target}.exe)
    set(ORBIQA_RC_DESCRIPTION "${description}")
    set(ORBIQA_RC_ICON ${ORBIQA_WINDOWS_PACKAGING_DIR}/orbiqa.ico)
    set(ORBIQA_RC_MANIFEST ${ORBIQA_WINDOWS_PACKAGING_DIR}/orbiqa.manifest)
    set(ORBIQA_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
    set(rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
    configure_file(${ORBIQA_WINDOWS_PACKAGING_DIR}/program.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${ORBIQA_RC_ICON} ${ORBIQA_RC_MANIFEST})
endfunction()
