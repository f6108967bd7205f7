# One timed FTP download or upload through TFtpClient; ftp_vs_curl.sh runs
# it beside curl against the same local server.
add_executable(ftp_transfer_bench ${CMAKE_CURRENT_LIST_DIR}/ftp_transfer_bench.cpp)
target_link_libraries(ftp_transfer_bench PRIVATE ranquil_core)
