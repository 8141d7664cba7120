# Replays the seed corpus of every harness once under AddressSanitizer and
# UndefinedBehaviorSanitizer, so that an input that once broke a reader stays
# fixed. The harnesses build in build/fuzz (scripts/fuzz.sh), apart from the
# Release tree; without clang the tests are left out.
find_program(M2K_CLANGXX clang++)
if(M2K_CLANGXX)
  set(m2k_fuzz_env "M2K_FUZZ_BUILD=${CMAKE_BINARY_DIR}/fuzz" "M2K_SHARED_DIR=${M2K_SHARED_DIR}")
  add_test(NAME FuzzHarnesses.Build COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/fuzz.sh build)
  set_tests_properties(FuzzHarnesses.Build PROPERTIES FIXTURES_SETUP m2k_fuzz_build TIMEOUT 900
                       ENVIRONMENT "${m2k_fuzz_env}")
  foreach(name dbf fpt cdx expression access_dialect mdb)
    add_test(NAME FuzzHarnesses.Replay_${name} COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/fuzz.sh replay ${name})
    set_tests_properties(FuzzHarnesses.Replay_${name} PROPERTIES FIXTURES_REQUIRED m2k_fuzz_build TIMEOUT 300
                         ENVIRONMENT "${m2k_fuzz_env}")
  endforeach()
endif()
