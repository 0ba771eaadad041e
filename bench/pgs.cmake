# COPY writer: one million generated rows of eight columns into the test
# server, compared with psql's own COPY of the same text. Needs the VEK_PG_*
# variables of scripts/testservers.
add_executable(pgs_bench ${CMAKE_CURRENT_LIST_DIR}/pgs_bench.cpp)
target_link_libraries(pgs_bench PRIVATE vek_postgres)
