# The 16-byte AES key shared with the module's firmware, as 32 hexadecimal digits. The default is
# a development key that orbiqa-modsim shares; build with the firmware's key for real modules.
set(ORBIQA_MODULE_KEY "4f7262697161206465762d6b65792031" CACHE STRING
    "Module AES-128 key, 32 hexadecimal digits")

string(LENGTH "${ORBIQA_MODULE_KEY}" _orbiqa_key_len)
if(NOT _orbiqa_key_len EQUAL 32)
    message(FATAL_ERROR
        "ORBIQA_MODULE_KEY must be exactly 32 hexadecimal digits (16 bytes); it has "
        "${_orbiqa_key_len} characters.")
endif()
if(NOT ORBIQA_MODULE_KEY MATCHES "^[0-9A-Fa-f]+$")
    message(FATAL_ERROR
        "ORBIQA_MODULE_KEY must be exactly 32 hexadecimal digits (16 bytes); it holds a "
        "character that is not a hexadecimal digit.")
endif()

set(_orbiqa_key_bytes "")
foreach(_i RANGE 0 30 2)
    string(SUBSTRING "${ORBIQA_MODULE_KEY}" ${_i} 2 _byte)
    string(APPEND _orbiqa_key_bytes "0x${_byte}, ")
endforeach()
set(ORBIQA_MODULE_KEY_BYTES "${_orbiqa_key_bytes}")
set(ORBIQA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ModuleKey.h.in ${ORBIQA_GENERATED_DIR}/ModuleKey.h @ONLY)
