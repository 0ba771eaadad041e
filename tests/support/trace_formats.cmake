# cmake -DCXX=<compiler> -DINCLUDES=<folders> -DWORK=<folder> -P trace_formats.cmake
#
# The compiler reads tk_trace's format as printf's: a call whose arguments do
# not fit its format fails under -Werror=format, one whose arguments fit
# compiles.
set(probe_flags -std=c++20 -fsyntax-only -Werror=format)
include(${CMAKE_CURRENT_LIST_DIR}/compile_probe.cmake)

# Each trace call goes in a function of its own.
set(prologue "#include \"tk/tk_log.h\"\nvoid probe() { ")

compile_probe(fitting "${prologue}tk_trace(2, \"%s has %d rows (%lld bytes)\", \"t\", 3, 4LL); }\n" result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a trace call whose arguments fit its format does not compile:\n${output}")
endif()

foreach(call "tk_trace(2, \"%d rows\", \"t\")" "tk_trace(2, \"%s has %d rows\", \"t\")")
  string(MAKE_C_IDENTIFIER "${call}" name)
  compile_probe(${name} "${prologue}${call}; }\n" result output)
  string(FIND "${output}" "-Werror=format" named)
  if(result EQUAL 0 OR named EQUAL -1)
    message(FATAL_ERROR "the compiler does not check the format of ${call}:\n${output}")
  endif()
endforeach()
