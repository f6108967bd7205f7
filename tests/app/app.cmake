ranquil_gtest(shell_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp)
ranquil_gtest(shell_view_tests UI SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainFormViewTest.cpp)
add_dependencies(shell_view_tests ranquil)
