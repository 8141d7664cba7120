# The engine tests take their table layouts from the template catalogue; link
# its source directly while no library carries it yet.
get_target_property(m2k_sources m2k SOURCES)
list(FILTER m2k_sources INCLUDE REGEX "template_catalog\\.cpp$")
if(NOT m2k_sources AND EXISTS ${CMAKE_SOURCE_DIR}/src/store/templates/template_catalog.cpp)
  target_sources(test_store PRIVATE ${CMAKE_SOURCE_DIR}/src/store/templates/template_catalog.cpp)
endif()
