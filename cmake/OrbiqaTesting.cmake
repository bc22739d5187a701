# A cross build has no GoogleTest for its target: it builds Debian's copy of the source (package
# googletest) with the program's compiler. The library's own targets carry the GTest:: names.
if(CMAKE_CROSSCOMPILING)
    set(ORBIQA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source for the target")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${ORBIQA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# orbiqa_add_test(<name> SOURCES ... LIBS ... [QT])
# QT tests get a main that creates an offscreen QApplication.
function(orbiqa_add_test name)
    cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_compile_options(${name} PRIVATE ${ORBIQA_WARNINGS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    if(T_QT)
        target_link_libraries(${name} PRIVATE orbiqa_test_qtmain ${T_LIBS} GTest::gtest GTest::gmock)
    else()
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    endif()
    if(CMAKE_CROSSCOMPILING)
        # Each start of a program under the emulator costs about a second: one ctest test per
        # program rather than per case. The harness sets the platform plugin and display.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS target)
        return()
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen\\;ORBIQA_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
                   TIMEOUT 120)
endfunction()
