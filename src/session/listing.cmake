target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FileTypeText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileTypeText.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpObject.h
  ${CMAKE_CURRENT_LIST_DIR}/ListingParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListingParser.h
  ${CMAKE_CURRENT_LIST_DIR}/MimeGlobs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MimeGlobs.h
  ${CMAKE_CURRENT_LIST_DIR}/PlatformTypeText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlatformTypeText.h
)
