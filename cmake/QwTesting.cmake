# Test helpers shared by every tests/<subsystem>/CMakeLists.txt.
#
#   qw_add_test(<name> SOURCES <files...> [LIBS <targets...>] [FIXTURES <names...>]
#               [ENVIRONMENT <VAR=value...>] [TIMEOUT <seconds>] [NATIVE_ONLY] [WINDOWS_ONLY])
#
# Natively each GoogleTest case becomes a ctest test (gtest_discover_tests). For Windows the whole
# executable is one ctest test run under Wine through the cross-compiling emulator: starting Wine once
# per case would cost more than the cases themselves. Every Windows test requires the "wine" fixture,
# which starts the wineserver before and stops it after, so ctest never waits on Wine's processes.

if(QW_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(QW_GTEST_MAIN gtest_main)
    set(QW_GMOCK gmock)
  else()
    find_package(GTest REQUIRED)
    include(GoogleTest)
    set(QW_GTEST_MAIN GTest::gtest_main)
    set(QW_GMOCK GTest::gmock)
  endif()
endif()

set(QW_WINE_ENV ${CMAKE_SOURCE_DIR}/scripts/wine-env)

function(qw_add_wine_fixture)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME wine_start COMMAND ${QW_WINE_ENV} start)
    set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
    add_test(NAME wine_stop COMMAND ${QW_WINE_ENV} stop)
    set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 120)
  endif()
endfunction()

function(qw_add_test name)
  cmake_parse_arguments(ARG "NATIVE_ONLY;WINDOWS_ONLY" "TIMEOUT"
    "SOURCES;LIBS;FIXTURES;ENVIRONMENT" ${ARGN})
  if(ARG_NATIVE_ONLY AND CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(ARG_WINDOWS_ONLY AND NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${QW_GMOCK} ${QW_GTEST_MAIN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  set(env "QW_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "QW_BINARY_DIR=${CMAKE_BINARY_DIR}" ${ARG_ENVIRONMENT})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED "wine;${ARG_FIXTURES}" TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}")
  else()
    # gtest_discover_tests (CMake 3.25) cannot pass a property whose value is a list: each element
    # becomes an argument of its own and shifts the pairs after it. So the environment goes in
    # through the test's executor (`env VAR=value ... test`), and there is at most one fixture.
    find_program(QW_ENV_PROGRAM env REQUIRED)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${QW_ENV_PROGRAM};${env}")
    list(LENGTH ARG_FIXTURES fixture_count)
    if(fixture_count GREATER 1)
      message(FATAL_ERROR "${name}: a native test can require one fixture only")
    endif()
    set(properties TIMEOUT ${ARG_TIMEOUT})
    if(ARG_FIXTURES)
      list(APPEND properties FIXTURES_REQUIRED ${ARG_FIXTURES})
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()
