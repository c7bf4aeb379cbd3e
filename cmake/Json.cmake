# nlohmann/json is header-only. Debian installs it under /usr/include, which the cross compilers
# must not search as a whole (glibc's headers live there too), so the headers are copied into the
# build tree and offered to every target from there.
set(SV_JSON_SOURCE_DIR /usr/include/nlohmann)
if(NOT EXISTS ${SV_JSON_SOURCE_DIR}/json.hpp)
  message(FATAL_ERROR "nlohmann/json not found; scripts/setup installs nlohmann-json3-dev")
endif()
file(COPY ${SV_JSON_SOURCE_DIR} DESTINATION ${CMAKE_BINARY_DIR}/third_party/include)
add_library(sv_json INTERFACE)
target_include_directories(sv_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party/include)
