target_sources(ranquil_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FtpDataChannel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FtpDataChannel.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpLocalFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FtpLocalFile.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpReply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FtpReply.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpSocksRoute.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpTexts.h
  ${CMAKE_CURRENT_LIST_DIR}/FtpTypes.h
  ${CMAKE_CURRENT_LIST_DIR}/TCustomFtpCli.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TCustomFtpCli.h
  ${CMAKE_CURRENT_LIST_DIR}/TFtpClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TFtpClient.h
  ${CMAKE_CURRENT_LIST_DIR}/TFtpClientOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TFtpClientOptions.h
)
