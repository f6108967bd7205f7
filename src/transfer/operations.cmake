target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FtpOperation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoaderManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OperationsStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransferWindow.h
)
