target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ActionsList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinkFileRegistration.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageHelpers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Notices.h
  ${CMAKE_CURRENT_LIST_DIR}/ShellMembers.h
  ${CMAKE_CURRENT_LIST_DIR}/ShellView.h
  ${CMAKE_CURRENT_LIST_DIR}/TerminationSignals.cpp
)

target_sources(ranquil_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/DialogPrompter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/MainFormView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/TShowMessageForm.cpp
)

add_executable(ranquil ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ranquil PRIVATE ranquil_ui)
