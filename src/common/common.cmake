target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComplementText.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpSite.h
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/P2pNetwork.h
  ${CMAKE_CURRENT_LIST_DIR}/ProgramFolders.cpp
)
