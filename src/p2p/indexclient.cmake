target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/IndexProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexProtocol.h
  ${CMAKE_CURRENT_LIST_DIR}/IndexServerClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexServerClient.h
  ${CMAKE_CURRENT_LIST_DIR}/IndexTexts.h
  ${CMAKE_CURRENT_LIST_DIR}/ResultLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ResultLine.h
  ${CMAKE_CURRENT_LIST_DIR}/UpdateIndexUrlStore.h
)
