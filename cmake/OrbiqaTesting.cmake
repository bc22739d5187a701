find_package(GTest REQUIRED)
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
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen\\;ORBIQA_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
                   TIMEOUT 120)
endfunction()
