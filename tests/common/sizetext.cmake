ranquil_gtest(sizetext_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/sizetext_test.cpp)
