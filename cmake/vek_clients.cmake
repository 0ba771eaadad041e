# The database client libraries: libpqxx and libpq, wrapped by src/postgres,
# and libmariadb, wrapped by src/sql. Found before any subsystem, so that each
# library is built walled off from the headers of those it does not wrap.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VEK_PQXX REQUIRED IMPORTED_TARGET libpqxx)
pkg_check_modules(VEK_PQ REQUIRED IMPORTED_TARGET libpq)
pkg_check_modules(VEK_MARIADB REQUIRED IMPORTED_TARGET libmariadb)

find_path(VEK_PQXX_HEADERS pqxx/connection HINTS ${VEK_PQXX_INCLUDE_DIRS} REQUIRED)
find_path(VEK_PQ_HEADERS libpq-fe.h HINTS ${VEK_PQ_INCLUDE_DIRS} PATH_SUFFIXES postgresql REQUIRED)
find_path(VEK_MARIADB_HEADERS mysql.h HINTS ${VEK_MARIADB_INCLUDE_DIRS} PATH_SUFFIXES mariadb REQUIRED)
vek_wall_client_headers(postgres ${VEK_PQXX_HEADERS}/pqxx ${VEK_PQ_HEADERS})
vek_wall_client_headers(sql ${VEK_MARIADB_HEADERS})
