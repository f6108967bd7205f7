# The FTP component: reply texts on their own, then the whole component
# against scripted and real servers.
ranquil_gtest(ftp_units SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ftp_reply_test.cpp)
