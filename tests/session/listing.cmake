ranquil_gtest(listing_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/listing_parser_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listing_typetext_test.cpp
)
