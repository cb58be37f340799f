# kvarlo_add_test(NAME SOURCES <files...> LIBRARIES <targets...> [ENVIRONMENT VAR=VALUE]
#                 [LOCALES <locales...>] [PREFIX <prefix>]
#                 [TEST_FILTER <gtest filter>])
# Builds one GoogleTest executable and registers each of its tests with CTest; with LOCALES
# (Windows, under Wine), once per locale, each named with its locale after a slash; with PREFIX,
# each test's name starts with it.
include(GoogleTest)

# The host's GoogleTest; a cross build (Windows) compiles it from the sources Debian ships.
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(_kvarlo_gtest_source /usr/src/googletest)
  if(NOT EXISTS "${_kvarlo_gtest_source}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest not found (install libgtest-dev and googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${_kvarlo_gtest_source}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
endif()

function(kvarlo_add_test name)
  cmake_parse_arguments(ARG "" "PREFIX;TEST_FILTER" "SOURCES;LIBRARIES;ENVIRONMENT;LOCALES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/tests")
  if(EMSCRIPTEN)
    kvarlo_web_node_program(${name})
  endif()
  # Discovered tests take one variable here (a list loses all but its first element on the
  # way); what every test needs, such as the offscreen platform, the test presets set.
  # Under Wine the first start in a prefix (or on a busy machine) builds the font cache, which
  # can take longer than the default five seconds.
  set(discovery_timeout 5)
  if(CMAKE_CROSSCOMPILING)
    set(discovery_timeout 60)
  endif()
  # TEST_FILTER registers only the tests it matches (those a platform can run at all).
  set(filter)
  if(ARG_TEST_FILTER)
    set(filter TEST_FILTER "${ARG_TEST_FILTER}")
  endif()
  if(NOT ARG_LOCALES)
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST ${filter}
      DISCOVERY_TIMEOUT ${discovery_timeout}
      TEST_PREFIX "${ARG_PREFIX}"
      PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  # scripts/wine-run starts Wine in KVARLO_WINE_LOCALE.
  foreach(locale IN LISTS ARG_LOCALES)
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT ${discovery_timeout}
      TEST_PREFIX "${ARG_PREFIX}"
      TEST_SUFFIX "/${locale}"
      PROPERTIES ENVIRONMENT "KVARLO_WINE_LOCALE=${locale}")
  endforeach()
endfunction()
