# The compile probes' common part, included by their scripts after they set
# probe_flags: the include folders come from -DINCLUDES, the probe files go
# to -DWORK and the compiler is -DCXX.
foreach(folder ${INCLUDES})
  list(APPEND probe_flags -I${folder})
endforeach()
file(MAKE_DIRECTORY ${WORK})

# Compiles <text> as ${WORK}/<name>.cpp; the exit code and the compiler's
# output go to <out_result> and <out_output>.
function(compile_probe name text out_result out_output)
  file(WRITE ${WORK}/${name}.cpp "${text}")
  execute_process(COMMAND ${CXX} ${probe_flags} ${WORK}/${name}.cpp
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()
