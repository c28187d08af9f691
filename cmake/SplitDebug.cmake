# Install step: the plug-in's debug information moves into a file of its own,
# which the stripped plug-in names in .gnu_debuglink; SHA256SUMS covers both.
set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/plugin")
set(debug_file "${kronel_plugin_file}.debug")

function(run)
  # objcopy stamps the PE it rewrites with SOURCE_DATE_EPOCH, or else the time.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${kronel_source_date_epoch} ${ARGN}
                  WORKING_DIRECTORY "${dir}" RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}): ${error}")
  endif()
endfunction()

run("${kronel_objcopy}" --only-keep-debug "${kronel_plugin_file}" "${debug_file}")
run("${kronel_objcopy}" --strip-unneeded "--add-gnu-debuglink=${debug_file}" "${kronel_plugin_file}")

set(sums "")
foreach(file IN ITEMS "${kronel_plugin_file}" "${debug_file}")
  file(SHA256 "${dir}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${dir}/SHA256SUMS" "${sums}")
message(STATUS "Installing: ${dir}/${debug_file}")
message(STATUS "Installing: ${dir}/SHA256SUMS")
