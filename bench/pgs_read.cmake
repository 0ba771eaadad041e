# PostgreSQL reader: one million rows of eight columns read back through the
# reader, compared with psql's COPY TO of the same table. Needs the VEK_PG_*
# variables of scripts/testservers.
add_executable(pgs_read_bench ${CMAKE_CURRENT_LIST_DIR}/pgs_read_bench.cpp)
target_link_libraries(pgs_read_bench PRIVATE vek_postgres PkgConfig::VEK_PQXX)
