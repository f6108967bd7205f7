ranquil_gtest(index_protocol_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/index_protocol_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_line_test.cpp)

ranquil_gtest(index_client_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/index_client_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../net/http_servers.cpp)
