# Runs in cpack after the files are staged: strips the programs the way Debian's own tools do,
# which also drops the compiler's .comment and .note sections that plain strip keeps.
file(GLOB_RECURSE kavelo_programs LIST_DIRECTORIES false
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS kavelo_programs)
  execute_process(
    COMMAND "${CPACK_KAVELO_STRIP}" --remove-section=.comment --remove-section=.note --strip-unneeded
            "${program}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "strip failed on ${program}")
  endif()
endforeach()
