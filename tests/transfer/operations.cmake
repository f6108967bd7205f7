ranquil_gtest(operations_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/OperationsStoreTest.cpp)
