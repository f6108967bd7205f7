ranquil_gtest(settings_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/SettingsTest.cpp)
