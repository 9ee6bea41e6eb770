# Fails when a regenerated table differs from the committed one.
foreach(name TypeshiftYaccTable TypeshiftLexTable)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${GENERATED}/${name}.generated.cpp" "${COMMITTED}/${name}.generated.cpp"
                  RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "${name}.generated.cpp is out of date with the grammar: build the target typeshift_tables_update and commit the result")
  endif()
endforeach()
file(TOUCH "${STAMP}")
