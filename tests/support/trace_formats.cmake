# cmake -DCXX=<compiler> -DINCLUDES=<folders> -DWORK=<folder> -P trace_formats.cmake
#
# The compiler reads tk_trace's format as printf's: a call whose arguments do
# not fit its format fails under -Werror=format, one whose arguments fit
# compiles.
set(flags -std=c++20 -fsyntax-only -Werror=format)
foreach(folder ${INCLUDES})
  list(APPEND flags -I${folder})
endforeach()
file(MAKE_DIRECTORY ${WORK})

function(probe name call out_result out_output)
  file(WRITE ${WORK}/${name}.cpp "#include \"tk/tk_log.h\"\nvoid probe() { ${call}; }\n")
  execute_process(COMMAND ${CXX} ${flags} ${WORK}/${name}.cpp
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

probe(fitting "tk_trace(2, \"%s has %d rows (%lld bytes)\", \"t\", 3, 4LL)" result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a trace call whose arguments fit its format does not compile:\n${output}")
endif()

foreach(call "tk_trace(2, \"%d rows\", \"t\")" "tk_trace(2, \"%s has %d rows\", \"t\")")
  string(MAKE_C_IDENTIFIER "${call}" name)
  probe(${name} "${call}" result output)
  string(FIND "${output}" "-Werror=format" named)
  if(result EQUAL 0 OR named EQUAL -1)
    message(FATAL_ERROR "the compiler does not check the format of ${call}:\n${output}")
  endif()
endforeach()
