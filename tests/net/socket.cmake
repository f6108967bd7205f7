ranquil_gtest(socket_units SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/socket_errors_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket_buffer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket_socks_negotiation_test.cpp)

ranquil_gtest(socket_connections SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/socket_support.h
  ${CMAKE_CURRENT_LIST_DIR}/socket_connection_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket_thread_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket_line_test.cpp)

ranquil_gtest(socket_socks SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/socket_support.h
  ${CMAKE_CURRENT_LIST_DIR}/socket_socks_test.cpp)
