target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/HttpRequestHead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpRequestHead.h
  ${CMAKE_CURRENT_LIST_DIR}/HttpResponseHead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpResponseHead.h
  ${CMAKE_CURRENT_LIST_DIR}/HttpTexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpTexts.h
  ${CMAKE_CURRENT_LIST_DIR}/HttpUrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpUrl.h
  ${CMAKE_CURRENT_LIST_DIR}/THttpCli.cpp
  ${CMAKE_CURRENT_LIST_DIR}/THttpCli.h
)
