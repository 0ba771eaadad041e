# The MySQL reading side against the server's own client (include() from bench/CMakeLists.txt).
add_executable(sql_read_bench ${CMAKE_CURRENT_LIST_DIR}/sql_read_bench.cpp)
target_link_libraries(sql_read_bench PRIVATE vek_sql)

# The MySQL writing side against the server's own client loading the same rows.
add_executable(sql_write_bench ${CMAKE_CURRENT_LIST_DIR}/sql_write_bench.cpp)
target_link_libraries(sql_write_bench PRIVATE vek_sql)
