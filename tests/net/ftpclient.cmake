# The FTP component: reply texts on their own, then the whole component
# against scripted and real servers.
ranquil_gtest(ftp_units SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ftp_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_reply_test.cpp)

ranquil_gtest(ftp_scripted SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ftp_test_support.h
  ${CMAKE_CURRENT_LIST_DIR}/ftp_script_server.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_script_server.h
  ${CMAKE_CURRENT_LIST_DIR}/ftp_control_test.cpp)

ranquil_gtest(ftp_real_servers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ftp_test_support.h
  ${CMAKE_CURRENT_LIST_DIR}/ftp_servers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_servers.h
  ${CMAKE_CURRENT_LIST_DIR}/ftp_servers_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_socks_relay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_socks_relay.h)

ranquil_gtest(ftp_threads SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ftp_test_support.h
  ${CMAKE_CURRENT_LIST_DIR}/ftp_servers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_servers.h
  ${CMAKE_CURRENT_LIST_DIR}/ftp_thread_test.cpp)
