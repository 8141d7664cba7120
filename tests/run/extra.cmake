# The source tests write small Marlin-shaped Access files with the Jet 4 writer.
target_link_libraries(test_run PRIVATE jet4 marlin_sample_model)
# The SQL tests create databases (PWCOMMON among them) on the one test server.
set(M2K_TEST_PROPERTIES RESOURCE_LOCK sql_test_server)
# The three-form test runs the built programs.
foreach(target marlin2kestrel kestrel-dump)
  if(TARGET ${target})
    add_dependencies(test_run ${target})
  endif()
endforeach()
# The locale test imports the generated sample dossier.
if(TARGET marlin_samples)
  add_dependencies(test_run marlin_samples)
endif()
