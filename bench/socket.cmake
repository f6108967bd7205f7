# Loopback throughput of TWSocket next to Qt's own QTcpSocket.
add_executable(socket_bench ${CMAKE_CURRENT_LIST_DIR}/socket_bench.cpp)
target_link_libraries(socket_bench PRIVATE ranquil_core benchmark::benchmark)
