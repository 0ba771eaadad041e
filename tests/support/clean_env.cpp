// Linked into every test program: before any test runs, the home folder is an
// empty one of the build's own and the password variables are gone, so that
// the developer's ~/.my.cnf, ~/.pgpass, PGPASSWORD or MYSQL_PWD never reach
// the test servers. A test that wants such a file or variable sets its own.
#include <stdlib.h>

#include <initializer_list>

#ifndef VEK_TEST_HOME
#error "VEK_TEST_HOME must name the tests' home folder"
#endif

namespace {

struct clean_env {
    clean_env() {
        ::setenv("HOME", VEK_TEST_HOME, 1);
        for (const char* name :
             {"PGPASSWORD", "PGPASSFILE", "PGSERVICEFILE", "MYSQL_PWD", "MYSQL_HOME", "MARIADB_HOME"})
            ::unsetenv(name);
    }
};

const clean_env cleaned;

}  // namespace
