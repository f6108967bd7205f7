ranquil_gtest(http_parsing_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/http_url_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_response_head_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_request_head_test.cpp)

ranquil_gtest(http_client_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/http_client_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_client_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_servers.cpp)

ranquil_gtest(http_proxy_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/http_proxy_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_client_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_servers.cpp)
