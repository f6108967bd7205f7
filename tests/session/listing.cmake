ranquil_gtest(listing_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/listing_mimeglobs_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listing_parser_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listing_typetext_test.cpp
)
# Listings from real servers (vsftpd, proftpd and the family server), fetched
# with a bare FTP exchange.
ranquil_gtest(listing_server_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/listing_ftp_fetch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listing_real_servers_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listing_servers.cpp
)
