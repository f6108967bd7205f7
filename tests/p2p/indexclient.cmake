ranquil_gtest(index_protocol_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/index_protocol_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_line_test.cpp)
