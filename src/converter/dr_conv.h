#pragma once
// dravik_convertor: the one converter of a program. It holds every setting
// of a conversion, both server connections and the progress of the run, and
// is the job that runs the conversion (operator()).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/cnv_hook.h"
#include "converter/cnv_my.h"
#include "converter/cnv_pg.h"
#include "converter/cnv_udb.h"
#include "tk/tk_regk.h"
#include "tk/tk_singl.h"
#include "udb/udb_prof.h"

class udb_database;
class udb_recordset;
struct udb_table_source;
struct cnv_dest_name;
struct cnv_entry_copy;
class error_handler;

// The wizard keeps its settings in the registry; the agent never touches it.
enum class converter_form { agent, wizard };

class dravik_convertor : public udb_converter,
                         public pgs_converter_impl,
                         public mysql_converter_impl,
                         public tk_reg_key,
                         public tk_singleton<dravik_convertor> {
public:
    static constexpr const char* registry_path = "Software\\Quorvane\\Tessaline";

    // How the last run ended.
    enum class run_outcome {
        not_run,
        running,
        completed,  // every entry was handled (level-0 errors may have been reported)
        ended,      // an error, the user's Abort or a COPY failure ended it early
        stopped,    // a stop request ended it
    };

    // errors: the handler every error of a run goes to (it outlives the
    // converter).
    explicit dravik_convertor(error_handler& errors, converter_form form = converter_form::agent);
    ~dravik_convertor() override;

    // The conversion run. Ends early through a stop request (request_stop(),
    // from any thread; checked before each table, each record and each
    // table's commit, where a hold makes the run wait). A stop request stays
    // until clear_stop().
    void operator()() override;
    void set_silent(bool on) override { udb_converter::set_silent(on); }
    // What left the run on a worker thread (an exception that the error
    // handler's own dialogs brought back from the GUI thread): an internal
    // error reported through the error handler, which ends the program.
    [[noreturn]] void on_escaped(const std::string& what) noexcept override;
    bool test_query(const std::wstring& sql, std::string& refusal) override;

    // Mode 0 only, when the destination exists: the source database must open
    // first (its error passes to the caller and nothing is dropped), every
    // selected table must be in it and every selected query must pass the
    // query check (the error names the first that does not, and nothing is
    // dropped), and the destination must be one that can be dropped and
    // created again (pgs_engine::check_recreatable); then it is dropped. The
    // run does the same itself once its source has opened, so a caller that
    // only chose the mode (the wizard) loses nothing before the run starts.
    void check_dest();
    std::vector<std::wstring> get_all_tables();
    udb_queries& get_all_views(udb_queries& views);
    // A selected query that is exactly the one a view of `source_views` is
    // read with, under the view's name (as a saved profile keeps a selected
    // view), is that view again: it leaves the selected queries for `views`.
    void take_view_queries(const udb_queries& source_views);

    // The calls the wizard makes while its user waits (listings, checks,
    // Test Query) are given up when a server has not answered them within
    // this time (tests shorten it); the run's own reads wait as long as the
    // servers take.
    std::chrono::milliseconds answer_limit{std::chrono::seconds(30)};
    // As a run starts: a connection that such a call broke off (the engines'
    // break_connection) is made again.
    void reopen_broken_connections();

    // False when the file does not load or an item cannot be written so that
    // it reads back unchanged (profile_fault() tells which). A missing file
    // and a mode outside 0 to 4 are level-1 tk_exceptions.
    bool load_profile(const std::wstring& path);
    // Applies a profile already read; false when a part does not apply.
    bool load_profile(const udb_profile& profile);
    bool store_profile(const std::wstring& path);
    const udb_profile_fault& profile_fault() const { return m_profile_fault; }

    // Loads (store false) or stores the 13 registry values; false when the key
    // does not open or any value failed.
    bool serialize(bool store);

    converter_form form() const { return m_form; }
    void set_run_hooks(cnv_run_hooks* hooks) { m_hooks = hooks; }
    run_outcome last_outcome() const { return m_outcome.load(std::memory_order_acquire); }

private:
    void run_steps(error_handler& eh);
    // The selected tables under the source's own names: where the server
    // compares names ignoring case, a table listed as MixedCase and as
    // MIXEDCASE is the one table it lists as mixedcase, converted once,
    // recorded and found by later runs under that name.
    void use_listed_names(const udb_database& src_db);
    // What a run converts: the selected tables (empty texts) and queries,
    // and the selected views as queries over the view. A view named exactly
    // like a query is reported and left out, unless the query is the view's
    // own (then it is converted once).
    cnv_query_map run_entries(error_handler& eh) const;
    // The query a selected view is read with (by the run, and by a run from
    // a saved profile).
    std::wstring view_query(const std::wstring& view) const;
    // Mode 0: drops the destination database when it exists and can be
    // created again, and every selected table and query can be read from the
    // opened source (check_entries_readable).
    void drop_dest_to_overwrite(udb_database& source);
    // Every selected table is in the source, and every selected query and
    // view passes the query check; otherwise a level-1 tk_exception that
    // names the first that does not.
    void check_entries_readable(const udb_database& source);
    // One entry of the run (a table, a query or a view) into its destination
    // table, in the table's own unit; its failures stay with it unless they
    // end the run.
    void convert_entry(error_handler& eh, const std::wstring& name, const std::wstring& sql,
                       const cnv_dest_name& target, udb_database& src_db, udb_database& dst_db);
    // A selected table the source does not hold: noted when the program has
    // shown it in its own words, else raised as the table's error.
    void report_missing_table(error_handler& eh, const std::wstring& name);
    // Opens the entry's source and makes its destination table ready in the
    // table's unit: dropped first when `replace`, then created (or handed back
    // for appending), checked against the source in merge mode and mapped
    // when its name is not the entry's.
    void open_entry(const std::wstring& name, const std::wstring& sql, const udb_table_source& source,
                    const cnv_dest_name& target, bool replace, udb_database& src_db, udb_database& dst_db,
                    cnv_entry_copy& copy);
    // The table's line, once its count is known: progress, trace and hooks.
    void announce_table(const std::wstring& name, std::int64_t count);
    // Every row of the source into the destination; a row the destination
    // refuses is reported and the next one follows.
    void copy_rows(error_handler& eh, const std::wstring& name, cnv_entry_copy& copy);
    void finish_copy(error_handler& eh, udb_recordset& dst);
    void check_stop();

    error_handler& m_errors;
    converter_form m_form;
    cnv_run_hooks* m_hooks = nullptr;
    std::atomic<run_outcome> m_outcome{run_outcome::not_run};
    bool m_stop_seen = false;
    udb_profile_fault m_profile_fault;
    // Gives the current table's line while it still waits for the table's
    // count (convert_entry): what is said of the rows comes after the line.
    std::function<void()> m_give_table_line;
};
