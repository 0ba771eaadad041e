#pragma once
// The end-to-end tests' databases: a source and a destination made fresh for
// one test, and the arguments that point the agent at them.

#include <string>
#include <vector>

#include "support/test_db.h"

// The arguments that name both test servers, followed by `extra`.
std::vector<std::string> agent_server_args(const std::vector<std::string>& extra = {});

struct scratch_options {
    bool create_dest = true;  // false: only drop a leftover destination; the test makes it when it wants it
    bool unique = false;      // add the process id to the names: runs may share the servers
    bool keep = false;        // leave both databases at the end, for inspection
};

// A MySQL source database (utf8mb4, selected on `my`) and a PostgreSQL
// destination, both made fresh for one test and dropped at the end. Any name
// is quoted, so hostile names work too.
class scratch_dbs {
public:
    explicit scratch_dbs(const std::string& name, scratch_options opt = {});  // source and destination alike
    scratch_dbs(const std::string& src, const std::string& dest, scratch_options opt = {});
    ~scratch_dbs();
    scratch_dbs(const scratch_dbs&) = delete;
    scratch_dbs& operator=(const scratch_dbs&) = delete;

    const std::string& name() const { return m_src; }
    const std::string& src() const { return m_src; }
    const std::string& dest() const { return m_dest; }
    // Nothing to drop at the end: the servers go away with the test, or
    // someone wants to look at what is left.
    void keep() { m_keep = true; }
    // The servers, --src and --dest of these databases, then `extra`.
    std::vector<std::string> agent_args(const std::vector<std::string>& extra = {}) const;

    mysql_admin my;

private:
    std::string m_src, m_dest;
    bool m_keep;
};
