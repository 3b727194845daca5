# Header-only libraries from Debian live in /usr/include, which must never be on the mingw include
# path (glibc's headers would shadow the Windows runtime's). Each one gets a folder of its own in the
# build tree that links to just that library, usable by both targets.
set(QW_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${QW_THIRD_PARTY_INCLUDE})
foreach(header_dir nlohmann)
  if(NOT EXISTS ${QW_THIRD_PARTY_INCLUDE}/${header_dir})
    file(CREATE_LINK /usr/include/${header_dir} ${QW_THIRD_PARTY_INCLUDE}/${header_dir} SYMBOLIC)
  endif()
endforeach()
if(NOT EXISTS ${QW_THIRD_PARTY_INCLUDE}/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
endif()
add_library(qw_nlohmann_json INTERFACE)
target_include_directories(qw_nlohmann_json SYSTEM INTERFACE ${QW_THIRD_PARTY_INCLUDE})
