# The 16-byte AES key shared with the module's firmware, as 32 hexadecimal digits. The default is
# a development key that orbiqa-modsim shares; build with the firmware's key for real modules.
set(ORBIQA_DEVELOPMENT_KEY "4f7262697161206465762d6b65792031")
set(ORBIQA_MODULE_KEY "${ORBIQA_DEVELOPMENT_KEY}" CACHE STRING
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

# The fingerprint names the key without giving it away: the first 8 hexadecimal digits of SHA-256
# over the key's 32 digits in lower case (`printf %s KEY | sha256sum` reproduces it). Programs
# print it; the Debian package and `make package` say when the key is the development one.
string(TOLOWER "${ORBIQA_MODULE_KEY}" _orbiqa_key_lower)
string(SHA256 _orbiqa_key_hash "${_orbiqa_key_lower}")
string(SUBSTRING "${_orbiqa_key_hash}" 0 8 ORBIQA_MODULE_KEY_FINGERPRINT)
if(_orbiqa_key_lower STREQUAL ORBIQA_DEVELOPMENT_KEY)
    set(ORBIQA_MODULE_KEY_IS_DEVELOPMENT ON CACHE INTERNAL "the build uses the development key")
    set(ORBIQA_MODULE_KEY_IS_DEVELOPMENT_CXX true)
else()
    set(ORBIQA_MODULE_KEY_IS_DEVELOPMENT OFF CACHE INTERNAL "the build uses the development key")
    set(ORBIQA_MODULE_KEY_IS_DEVELOPMENT_CXX false)
endif()
set(ORBIQA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ModuleKey.h.in ${ORBIQA_GENERATED_DIR}/ModuleKey.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ModuleKeyFingerprint.h.in
               ${ORBIQA_GENERATED_DIR}/ModuleKeyFingerprint.h @ONLY)
