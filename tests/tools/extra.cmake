# The tool tests use the Jet 4 writer and the sample dossier generator directly.
foreach(lib jet4 marlin_sample_model)
  if(TARGET ${lib})
    target_link_libraries(test_tools PRIVATE ${lib})
  endif()
endforeach()

# The support tool tests run the built kestrel-dump.
if(TARGET kestrel-dump)
  add_dependencies(test_tools kestrel-dump)
endif()

# The query tool test runs the built marlin-query.
if(TARGET marlin-query)
  add_dependencies(test_tools marlin-query)
endif()
