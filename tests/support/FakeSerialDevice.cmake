# The in-memory device of the tests, the screenshot tool and the fuzzing helper. It is built from
# the test tree, also when the tests themselves are not (the screenshot tool links it), and no
# shipped program links it.
add_library(orbiqa_fake_serial STATIC ${CMAKE_CURRENT_LIST_DIR}/FakeSerialDevice.cpp)
target_include_directories(orbiqa_fake_serial PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(orbiqa_fake_serial PRIVATE ${ORBIQA_WARNINGS})
target_link_libraries(orbiqa_fake_serial PUBLIC orbiqa_link)
