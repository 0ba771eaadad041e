# vek_library(<name> SOURCES ... [DEPS ...] [CLIENT ...])
#   A static library vek_<name>; src/ is the include root ("tk/tk_exc.h").
#   CLIENT: the client library it wraps, linked PRIVATE: its headers reach
#   this library alone (vek_client_wall).
function(vek_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;CLIENT" ${ARGN})
  add_library(vek_${name} STATIC ${A_SOURCES})
  target_include_directories(vek_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  if(A_DEPS)
    target_link_libraries(vek_${name} PUBLIC ${A_DEPS})
  endif()
  if(A_CLIENT)
    target_link_libraries(vek_${name} PRIVATE ${A_CLIENT})
  endif()
  vek_client_wall(vek_${name} ${name})
endfunction()

# vek_wall_client_headers(<owner> <folder>...)
#   The headers of a client library that src/<owner> wraps, kept from every
#   other subsystem. Linking the library PRIVATE hides its include folders, but
#   headers under the compiler's own folders (<pqxx/...>, <mariadb/mysql.h> in
#   /usr/include) are found anyway: each header under the given folders (the
#   library's own) gets a stand-in that stops the compile, at its path from
#   the compiler's folder above it.
function(vek_wall_client_headers owner)
  set(wall ${CMAKE_BINARY_DIR}/client-wall/${owner})
  file(REMOVE_RECURSE ${wall})
  file(MAKE_DIRECTORY ${wall})
  foreach(folder ${ARGN})
    set(shadows)
    foreach(implicit ${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES})
      cmake_path(IS_PREFIX implicit "${folder}" NORMALIZE under)
      if(under AND NOT folder STREQUAL implicit)
        cmake_path(RELATIVE_PATH folder BASE_DIRECTORY ${implicit} OUTPUT_VARIABLE rel)
        file(GLOB_RECURSE below LIST_DIRECTORIES false RELATIVE ${folder} ${folder}/*)
        list(TRANSFORM below PREPEND ${rel}/)
        list(APPEND shadows ${below})
      endif()
    endforeach()
    foreach(header ${shadows})
      file(WRITE ${wall}/${header} "#error \"<${header}> is a client library header for src/${owner} alone\"\n")
    endforeach()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY VEK_CLIENT_WALLS ${owner})
endfunction()

# vek_client_wall(<target> [<owner>])
#   The target's sources cannot include the client library headers of any
#   subsystem but <owner>.
function(vek_client_wall target)
  get_property(owners GLOBAL PROPERTY VEK_CLIENT_WALLS)
  foreach(owner ${owners})
    if(NOT owner STREQUAL "${ARGV1}")
      target_include_directories(${target} BEFORE PRIVATE ${CMAKE_BINARY_DIR}/client-wall/${owner})
    endif()
  endforeach()
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

# vek_discover_tests(<target> [SERVER_CASES <pattern>...] [ENVIRONMENT <var=value>...])
#   Each case of a GoogleTest program becomes one ctest test. The cases that
#   match a SERVER_CASES pattern (GoogleTest filter patterns: "Suite.*",
#   "Suite.case", "*" for every case) need the private test servers, or start
#   servers of their own, and get the label "server"; the others need none
#   and run with ctest -LE server. A case needing a server fails without one,
#   so a case missing from the patterns shows as a failure there. Further
#   labels come from the folder's LABELS property.
function(vek_discover_tests target)
  cmake_parse_arguments(A "" "" "SERVER_CASES;ENVIRONMENT" ${ARGN})
  set(discovery DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  set(env)
  if(A_ENVIRONMENT)
    set(env ENVIRONMENT ${A_ENVIRONMENT})
  endif()
  list(JOIN A_SERVER_CASES ":" server_filter)
  if(NOT server_filter)
    gtest_discover_tests(${target} ${discovery} PROPERTIES ${env})
    return()
  endif()
  gtest_discover_tests(${target} ${discovery} TEST_FILTER "${server_filter}" PROPERTIES LABELS server ${env})
  if(NOT server_filter STREQUAL "*")
    gtest_discover_tests(${target} ${discovery} TEST_FILTER "-${server_filter}" PROPERTIES ${env})
  endif()
endfunction()

# vek_test(<name> SOURCES ... [DEPS ...] [SERVER_CASES ...])
#   A GoogleTest program; each test case becomes one ctest test, labelled as
#   vek_discover_tests says.
function(vek_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;SERVER_CASES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  vek_clean_test_env(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main)
  vek_discover_tests(${name} SERVER_CASES ${A_SERVER_CASES})
endfunction()

# vek_glob_library(<name> [DEPS ...] [CLIENT ...]): every .cpp of the current folder.
function(vek_glob_library name)
  cmake_parse_arguments(A "" "" "DEPS;CLIENT" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A subsystem that has only headers so far.
    add_library(vek_${name} INTERFACE)
    target_include_directories(vek_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(vek_${name} INTERFACE ${A_DEPS})
    return()
  endif()
  vek_library(${name} SOURCES ${srcs} DEPS ${A_DEPS} CLIENT ${A_CLIENT})
endfunction()

# vek_glob_test(<name> [DEPS ...] [SERVER_CASES ...]): every .cpp of the current folder.
function(vek_glob_test name)
  cmake_parse_arguments(A "" "" "DEPS;SERVER_CASES" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  vek_test(${name} SOURCES ${srcs} DEPS ${A_DEPS} SERVER_CASES ${A_SERVER_CASES})
endfunction()
