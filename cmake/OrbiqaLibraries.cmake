# How every room of src/ declares its libraries. Both the program's project (the root) and the
# fuzz project include this file and then add src/, so that a room's CMakeLists.txt is the one
# list of its sources for every build. Set ORBIQA_BUILD_UI before including it.
#
# Layers: core (no Qt), platform (operating system), ui (Qt Widgets). Each subsystem folder
# builds its own library per layer (orbiqa_<subsystem> for core, orbiqa_<subsystem>_ui for
# windows), so that a layer can never reach up: core libraries are not given Qt at all.
# orbiqa_core, orbiqa_platform and orbiqa_ui gather them.

# The rooms' own folder, whichever project includes this file (a room's headers are included
# as "room/Name.h").
get_filename_component(ORBIQA_SRC_DIR ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)

set(ORBIQA_WARNINGS -Wall -Wextra -Wpedantic -Wshadow)

add_library(orbiqa_core INTERFACE)
add_library(orbiqa_platform INTERFACE)
if(ORBIQA_BUILD_UI)
    add_library(orbiqa_ui INTERFACE)
endif()

# orbiqa_core_library(<name> SOURCES ... [DEPS ...]) and its platform and ui twins keep every
# folder's CMake short; each adds the library to its layer's aggregate.
function(_orbiqa_layer_library layer name)
    cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${L_SOURCES})
    target_include_directories(${name} PUBLIC ${ORBIQA_SRC_DIR} ${ORBIQA_GENERATED_DIR})
    target_compile_options(${name} PRIVATE ${ORBIQA_WARNINGS})
    if(layer STREQUAL "ui")
        target_link_libraries(${name} PUBLIC Qt6::Widgets)
    endif()
    target_link_libraries(${name} PUBLIC ${L_DEPS})
    target_link_libraries(orbiqa_${layer} INTERFACE ${name})
endfunction()
function(orbiqa_core_library name)
    _orbiqa_layer_library(core ${name} ${ARGN})
endfunction()
function(orbiqa_platform_library name)
    _orbiqa_layer_library(platform ${name} ${ARGN})
endfunction()
function(orbiqa_ui_library name)
    _orbiqa_layer_library(ui ${name} ${ARGN})
endfunction()
