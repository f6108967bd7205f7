ranquil_gtest(common_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/IniFileTest.cpp)
