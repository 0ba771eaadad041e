# vek_library(<name> SOURCES ... [DEPS ...])
#   A static library vek_<name>; src/ is the include root ("tk/tk_exc.h").
function(vek_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(vek_${name} STATIC ${A_SOURCES})
  target_include_directories(vek_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  if(A_DEPS)
    target_link_libraries(vek_${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# vek_clean_test_env(<target>)
#   The test program runs in an empty home folder of the build's own, without
#   the password variables (tests/support/clean_env.cpp).
function(vek_clean_test_env target)
  set(home ${CMAKE_BINARY_DIR}/test-home)
  file(MAKE_DIRECTORY ${home})
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/clean_env.cpp)
  target_compile_definitions(${target} PRIVATE VEK_TEST_HOME="${home}")
endfunction()

# vek_test(<name> SOURCES ... [DEPS ...] [LABELS ...])
#   A GoogleTest program; each test case becomes one ctest test.
function(vek_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  vek_clean_test_env(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${A_LABELS}")
endfunction()

# vek_glob_library(<name> [DEPS ...]): every .cpp of the current folder.
function(vek_glob_library name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A subsystem that has only headers so far.
    add_library(vek_${name} INTERFACE)
    target_include_directories(vek_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(vek_${name} INTERFACE ${A_DEPS})
    return()
  endif()
  vek_library(${name} SOURCES ${srcs} DEPS ${A_DEPS})
endfunction()

# vek_glob_test(<name> [DEPS ...] [LABELS ...]): every .cpp of the current folder.
function(vek_glob_test name)
  cmake_parse_arguments(A "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  vek_test(${name} SOURCES ${srcs} DEPS ${A_DEPS} LABELS ${A_LABELS})
endfunction()
