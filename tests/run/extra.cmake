# The source tests write small Marlin-shaped Access files with the Jet 4 writer.
target_link_libraries(test_run PRIVATE jet4)
