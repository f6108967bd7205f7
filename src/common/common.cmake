target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FtpSite.h
  ${CMAKE_CURRENT_LIST_DIR}/P2pNetwork.h
)
