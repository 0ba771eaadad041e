# cmake -DCXX=<compiler> -DINCLUDES=<folders> -DWORK=<folder> -DSUBSYSTEM=<name> -P client_wall.cmake
#
# With the include folders a subsystem's own sources compile with, a file
# that includes a client library header must not compile, while one that
# includes the engines' headers (what the subsystem may use) must.
set(walled pqxx/connection pqxx/except pqxx/pqxx libpq-fe.h postgresql/libpq-fe.h mysql.h mariadb/mysql.h)

set(flags -std=c++20 -fsyntax-only)
foreach(folder ${INCLUDES})
  list(APPEND flags -I${folder})
endforeach()
file(MAKE_DIRECTORY ${WORK})

function(probe name text out_result out_output)
  file(WRITE ${WORK}/${name}.cpp "${text}")
  execute_process(COMMAND ${CXX} ${flags} ${WORK}/${name}.cpp
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

probe(allowed "#include \"postgres/pgs_engi.h\"\n#include \"postgres/pgs_exc.h\"\n#include \"sql/sql_engi.h\"\n#include \"sql/sql_exc.h\"\n"
      result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "src/${SUBSYSTEM}: the engines' headers do not compile without the client libraries:\n${output}")
endif()

set(through)
foreach(header ${walled})
  string(MAKE_C_IDENTIFIER ${header} name)
  probe(${name} "#include <${header}>\n" result output)
  string(FIND "${output}" "${header}" named)
  if(result EQUAL 0 OR named EQUAL -1)
    list(APPEND through "<${header}>: ${output}")
  endif()
endforeach()
if(through)
  list(JOIN through "\n" shown)
  message(FATAL_ERROR "src/${SUBSYSTEM} may include client library headers:\n${shown}")
endif()
