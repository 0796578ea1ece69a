# Runs the generator and compares its output with the committed data file.
# Variables: GENERATOR, COMMITTED, GENERATED.
execute_process(COMMAND "${GENERATOR}" "${GENERATED}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "make_program_texts failed (${result})")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files --ignore-eol "${GENERATED}" "${COMMITTED}"
    RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${COMMITTED} is out of date: re-make it with\n"
                        "  ${GENERATOR} ${COMMITTED}")
endif()
