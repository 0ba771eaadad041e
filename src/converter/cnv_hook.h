#pragma once
// What a program adds to a run besides error reporting: the agent selects
// every source table when nothing was selected and prints its console lines;
// the wizard starts its progress timer. Null hooks: none of it.
#include <cstdint>
#include <string>

class cnv_run_hooks {
public:
    virtual ~cnv_run_hooks() = default;

    // At the start of every run, before anything is opened. A failure here is
    // ignored.
    virtual void on_run_started() {}
    // Asked once the databases are open: when nothing at all is selected,
    // true converts every table of the source database, in its order.
    virtual bool select_all_when_empty() { return false; }
    // Once the databases are open and the tables are counted (queries are not).
    virtual void on_database(const std::wstring& /*src*/, std::uint32_t /*n_tables*/) {}
    // A selected table that the source database does not hold. It is a
    // level-0 error "Table <name> not exists" for that entry (context: the
    // name); the run goes on with the next entry, the entry counting as done.
    // When reports_missing_tables() is true the program shows it itself in
    // on_missing_table, and the handler only counts, traces and lists it
    // (error_handler::note); otherwise the handler reports it as usual.
    virtual void on_missing_table(const std::wstring& /*name*/) {}
    virtual bool reports_missing_tables() const { return false; }
    // When a destination table is ready and before its rows are copied (not
    // for a table skipped in mode 2).
    virtual void on_table(const std::wstring& /*name*/, std::int64_t /*n_records*/) {}
};
