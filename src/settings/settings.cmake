target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CountryCodes.h
  ${CMAKE_CURRENT_LIST_DIR}/GUIOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainWindowSettings.cpp
)
