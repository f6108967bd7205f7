# Parsing a million-line listing, and the type texts of a large folder.
add_executable(listing_bench ${CMAKE_CURRENT_LIST_DIR}/listing_bench.cpp)
target_link_libraries(listing_bench PRIVATE ranquil_core benchmark::benchmark_main)
