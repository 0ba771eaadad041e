# cmake -DCXX=<compiler> -DINCLUDES=<folders> -DWORK=<folder> -DSUBSYSTEM=<name> -P client_wall.cmake
#
# With the include folders a subsystem's own sources compile with, a file
# that includes a client library header must not compile, while one that
# includes the engines' headers (what the subsystem may use) must.
set(walled pqxx/connection pqxx/except pqxx/pqxx libpq-fe.h postgresql/libpq-fe.h mysql.h mariadb/mysql.h)

set(probe_flags -std=c++20 -fsyntax-only)
include(${CMAKE_CURRENT_LIST_DIR}/compile_probe.cmake)

compile_probe(allowed "#include \"postgres/pgs_engi.h\"\n#include \"postgres/pgs_exc.h\"\n#include \"sql/sql_engi.h\"\n#include \"sql/sql_exc.h\"\n"
      result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "src/${SUBSYSTEM}: the engines' headers do not compile without the client libraries:\n${output}")
endif()

set(through)
foreach(header ${walled})
  string(MAKE_C_IDENTIFIER ${header} name)
  compile_probe(${name} "#include <${header}>\n" result output)
  string(FIND "${output}" "${header}" named)
  if(result EQUAL 0 OR named EQUAL -1)
    list(APPEND through "<${header}>: ${output}")
  endif()
endforeach()
if(through)
  list(JOIN through "\n" shown)
  message(FATAL_ERROR "src/${SUBSYSTEM} may include client library headers:\n${shown}")
endif()
