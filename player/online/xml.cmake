# The XML reader (window-free) and the character-set conversions it is given in the program.
if(HALVERY_NATIVE)
  set(HALVERY_XML_READER_SOURCES ${CMAKE_CURRENT_LIST_DIR}/XmlReader.cpp)
  add_library(halvery_xml_pure STATIC ${HALVERY_XML_READER_SOURCES})
  target_link_libraries(halvery_xml_pure PUBLIC halvery_options)
  # The fuzz target in tests/native compiles these sources again with its instrumentation.
  set_property(GLOBAL PROPERTY HALVERY_XML_READER_SOURCES ${HALVERY_XML_READER_SOURCES})
else()
  add_library(halvery_online_xml STATIC
    ${CMAKE_CURRENT_LIST_DIR}/XmlReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Convert.cpp)
  target_link_libraries(halvery_online_xml PUBLIC halvery_common)
endif()
