// The conversion run: one MySQL database into one PostgreSQL database.
//
// What the destination holds when a run ends, however it ends:
// - Each entry (a table, a query or a view) is one PostgreSQL transaction on
//   its own destination table. It takes the table's lock first (another run
//   on the same table waits for it); the drop of mode 1, the CREATE TABLE and
//   the COPY of every row run in it, and its commit at the table's end shows
//   them all at once. Entries are not one unit together: every table
//   committed before the run ends stays.
// - Mode 0 drops the whole destination database before the first entry, and
//   only once the source has opened and every entry is known to be readable.
// - A stop or a hold takes effect only in check_stop: before the source
//   opens, before each entry, before each row, and between a table's last
//   row and its commit. A hold waits there, keeping an open table's
//   transaction and lock; a stop rolls the open table back and reads no
//   more of its source.
// - A table that fails keeps nothing: its transaction rolls back, so a table
//   it was to replace keeps its previous copy, a merge keeps only the rows
//   the table had, and a new table is not left half filled. A row refused on
//   its own (a pgs_exception while it is appended) is left out and the table
//   goes on. A COPY that breaks or does not commit ends the run, as do Abort
//   and a level-1 error.
#include <algorithm>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "converter/dr_conv.h"
#include "converter/err_hand.h"
#include "converter/init_cnv.h"
#include "postgres/pgs_db.h"
#include "postgres/pgs_exc.h"
#include "postgres/pgs_vali.h"
#include "sql/sql_rpt.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_print.h"
#include "tk/tk_utils.h"
#include "udb/udb_db.h"
#include "udb/udb_idx.h"
#include "udb/udb_recs.h"

namespace {
const wchar_t* const not_conforming = L"The structure of data source does not conform to the destination table.";

// Values the MySQL reader cannot carry over (the cell is left empty) reach
// the error handler as record errors while the run lasts.
class run_value_reporter : public sql_value_reporter {
public:
    // before: called ahead of each report.
    run_value_reporter(error_handler& eh, sql_value_reports& reports, const std::function<void()>& before)
        : m_eh(eh), m_reports(reports), m_before(before), m_previous(reports.install(this)) {}
    ~run_value_reporter() override { m_reports.install(m_previous); }
    run_value_reporter(const run_value_reporter&) = delete;
    run_value_reporter& operator=(const run_value_reporter&) = delete;

    void report(const tk_exception& error, const std::wstring& context) override {
        if (m_before) m_before();
        m_eh.set_context(context);
        m_eh.handle(error, false);
    }

private:
    error_handler& m_eh;
    sql_value_reports& m_reports;
    const std::function<void()>& m_before;
    sql_value_reporter* m_previous;
};

// A table's line ("Converting table t (n records)") and progress total wait
// for its count, which a source may still be taking on another connection
// while the records already flow. Given once.
class table_line {
public:
    using sink = std::function<void(std::int64_t)>;
    table_line(udb_recordset& src, sink give) : m_src(src), m_give(std::move(give)) {}

    // Gives the line when the count has arrived, without waiting for it.
    void give_if_counted(std::int64_t rows_read) {
        if (!m_given && m_src.rec_count_arrived()) give(rows_read);
    }
    // Waits for the count; a count that could not be had is the rows read.
    void give(std::int64_t rows_read) {
        if (m_given) return;
        m_given = true;
        m_give(m_src.wait_rec_count().value_or(rows_read));
    }

private:
    udb_recordset& m_src;
    sink m_give;
    bool m_given = false;
};

// Points the convertor's hook at the table's line while the table lasts.
class table_line_hook {
public:
    table_line_hook(std::function<void()>& hook, table_line& line, const std::int64_t& rows_read) : m_hook(hook) {
        m_hook = [&line, &rows_read] { line.give(rows_read); };
    }
    ~table_line_hook() { m_hook = nullptr; }
    table_line_hook(const table_line_hook&) = delete;
    table_line_hook& operator=(const table_line_hook&) = delete;

private:
    std::function<void()>& m_hook;
};
}  // namespace

// The destination table of an entry; `generated` when the entry's own name
// was not acceptable and the name was made for it.
struct cnv_dest_name {
    std::wstring name;
    bool generated = false;
};

// What one entry has open while it is copied. Members end in reverse order:
// the line before the recordset it reads the count from.
struct cnv_entry_copy {
    std::unique_ptr<udb_recordset> src;
    std::unique_ptr<udb_recordset> dst;
    std::int64_t done = 0;  // rows read so far
    std::optional<table_line> line;
};

namespace {

// What an entry of the run is read from: a query (or view) when it has a
// text, otherwise the source table of its name.
udb_table_source entry_source(const std::wstring& name, const std::wstring& sql) {
    return {sql.empty() ? udb_table_source::kind::table : udb_table_source::kind::query, name};
}

// Destination names as a run over the whole source gives them. A source that
// a destination table records as its own keeps that table; the others are
// named, around the names those tables hold, in the run's order: every table
// of the source, then tables listed but not in the source, then the queries.
// A table therefore lands in the same destination table whatever else is
// selected or added to the source later, and never in one made from another.
std::map<std::wstring, cnv_dest_name> plan_dest_names(const std::vector<std::wstring>& source_tables,
                                                      const cnv_query_map& entries,
                                                      const std::vector<std::wstring>& dest_tables,
                                                      const std::vector<udb_sourced_table>& sourced) {
    pgs_tn_validator validator(source_tables, dest_tables);
    std::map<udb_table_source, std::wstring> recorded;
    for (const udb_sourced_table& table : sourced) {
        recorded.emplace(table.source, table.name);
        validator.add_restricted_name(table.name);
    }
    std::map<std::wstring, cnv_dest_name> plan;
    auto decide = [&](const std::wstring& name) {
        if (plan.count(name)) return;
        const auto entry = entries.find(name);
        const udb_table_source source = entry_source(name, entry == entries.end() ? std::wstring() : entry->second);
        if (const auto own = recorded.find(source); own != recorded.end()) {
            plan.emplace(name, cnv_dest_name{own->second, false});
            return;
        }
        cnv_dest_name target{name, false};
        if (!validator.is_acceptable(name)) {
            target.name = validator.get_safe_name(name);
            target.generated = true;
            tk_trace_w(1, L"udb_validator::add_existing_name(%s)", target.name.c_str());
            validator.add_existing_name(target.name);
        }
        // A later name equal to it ignoring case gets a safe name.
        validator.add_restricted_name(target.name);
        plan.emplace(name, std::move(target));
    };
    // The order in which the run takes its entries.
    for (const std::wstring& table : std::set<std::wstring, udb_utf16_less>(source_tables.begin(), source_tables.end()))
        decide(table);
    for (const auto& [name, sql] : entries)
        if (sql.empty()) decide(name);
    for (const auto& entry : entries) {
        if (entry.second.empty()) continue;
        tk_trace_w(1, L"udb_validator::add_existing_name(%s)", entry.first.c_str());
        validator.add_existing_name(entry.first);
    }
    for (const auto& [name, sql] : entries)
        if (!sql.empty()) decide(name);
    return plan;
}

// "the source table x" or "the query x".
std::wstring describe(const udb_table_source& source) {
    return (source.what == udb_table_source::kind::query ? L"the query " : L"the source table ") + source.name;
}

// Rows go only into a table made from their own source. An existing table
// that records another source is never touched; one that records none under a
// name made for this entry (cut or counted) may hold another source's rows,
// so it is neither skipped nor appended to. Mode 1 replaces such a table, as
// it replaces any table of the name.
void check_dest_table(const udb_database& dst_db, const std::wstring& dest_name, const udb_table_source& own,
                      bool generated, bool replaces) {
    const std::optional<udb_table_source> recorded = dst_db.table_source(dest_name);
    if (recorded && *recorded != own)
        throw tk_exception(L"The destination table " + dest_name + L" was made from " + describe(*recorded) +
                               L": it is left as it is.",
                           0);
    if (!recorded && generated && !replaces)
        throw tk_exception(L"The destination table " + dest_name +
                               L" has a generated name and records no source: whose rows it holds cannot be told, "
                               L"so it is left as it is.",
                           0);
}

// What the run's mode makes of a table that already stands under the
// destination name.
enum class existing_table { none, skip, replace, append };

existing_table existing_dest(const udb_database& dst_db, const cnv_dest_name& target, const udb_table_source& source,
                             std::int32_t mode) {
    if (!dst_db.is_table_exist(target.name)) return existing_table::none;
    check_dest_table(dst_db, target.name, source, target.generated, mode == udb_converter::mode_overwrite_tables);
    if (mode == udb_converter::mode_skip_existing) return existing_table::skip;
    // Any other mode has create_table hand the table back for appending.
    return mode == udb_converter::mode_overwrite_tables ? existing_table::replace : existing_table::append;
}

// Nothing of a table that failed is kept, however far it got: its
// transaction (drop, CREATE TABLE, rows) rolls back, so a table it was to
// replace keeps its previous copy and a new one is not left half filled. The
// error comes after the table's line.
void fail_entry(error_handler& eh, const std::wstring& name, const tk_exception& e, cnv_entry_copy& copy) {
    if (copy.line && copy.src) copy.line->give(copy.done);
    copy.dst.reset();
    copy.src.reset();
    eh.set_context(name);
    // The destination's COPY itself broke: the run ends, as when it fails to
    // end.
    if (dynamic_cast<const pgs_load_failure*>(&e)) eh.end_run(e);
    eh.handle(e, false);
}

// Ends the destination's table unit on every way out that did not hand it to
// a recordset.
class table_unit {
public:
    explicit table_unit(udb_database& db) : m_db(db) {}
    ~table_unit() { m_db.end_table(); }
    table_unit(const table_unit&) = delete;
    table_unit& operator=(const table_unit&) = delete;

private:
    udb_database& m_db;
};

}  // namespace

void dravik_convertor::check_stop() {
    // A hold (the wizard asks whether to stop) lasts until the answer.
    wait_while_held();
    if (stop_requested()) {
        m_stop_seen = true;
        tk_trace(2, "Stop requested");
        throw tk_final_exception();
    }
}

void dravik_convertor::operator()() {
    tk_trace(2, "dravik_convertor::operator()");
    m_stop_seen = false;
    m_outcome.store(run_outcome::running, std::memory_order_release);
    run_outcome outcome = run_outcome::ended;
    {
        init_conversion scope(&b_finished, false, m_hooks);
        try {
            error_handler& eh = m_errors;
            eh.set_context(L"");
            try {
                run_steps(eh);
                outcome = run_outcome::completed;
            } catch (const tk_final_exception&) {
                // Abort, a level-1 error or a COPY failure, already reported;
                // or a stop request.
                if (m_stop_seen) outcome = run_outcome::stopped;
            } catch (const tk_exception& e) {
                eh.handle(e, true);
            } catch (const std::exception& e) {
                eh.report_failure(e.what());
            }
        } catch (...) {
            // The handler's own way out: the run still ends through the
            // scope object.
            m_outcome.store(outcome, std::memory_order_release);
            throw;
        }
        m_outcome.store(outcome, std::memory_order_release);
    }
}

void dravik_convertor::run_steps(error_handler& eh) {
    check_stop();
    // The wizard gave up a call that a server left unanswered; it answers
    // again now, or the run fails here on its connect.
    reopen_broken_connections();
    run_value_reporter reporter(eh, mysql_converter_impl::engine.value_reports(), m_give_table_line);
    std::unique_ptr<udb_database> src_db = mysql_converter_impl::engine.open_db(src, 1);
    // Overwriting the entire database starts here, now that the source is
    // known to open and to hold what is to be copied.
    drop_dest_to_overwrite(*src_db);
    pgs_engine& pg = pgs_converter_impl::engine;
    std::unique_ptr<udb_database> dst_db;
    if (pg.is_db_exist(dest))
        dst_db = pg.open_db(dest);
    else
        dst_db = pg.create_db_exist(dest);

    if (m_hooks && selected_tables.empty() && selected_queries.empty() && m_hooks->select_all_when_empty())
        selected_tables = src_db->table_names();
    use_listed_names(*src_db);

    tk_trace_w(3, L"Converting database %s (%d tables)", src.c_str(), static_cast<int>(selected_tables.size()));
    if (m_hooks) m_hooks->on_database(src, static_cast<std::uint32_t>(selected_tables.size()));

    // A query keeps its text when a table of the same name is selected: the
    // query wins.
    for (const std::wstring& table : selected_tables) selected_queries.try_emplace(table, std::wstring());
    const cnv_query_map entries = run_entries(eh);
    // Progress counts every entry the run takes: tables, queries and views.
    n_tables.store(static_cast<std::uint32_t>(entries.size()), std::memory_order_relaxed);
    const std::map<std::wstring, cnv_dest_name> targets =
        plan_dest_names(src_db->table_names(), entries, dst_db->table_names(), dst_db->sourced_tables());

    for (const auto& [name, sql] : entries) {
        check_stop();
        set_cur_table(name);
        n_records_done.store(0, std::memory_order_relaxed);
        n_records.store(0, std::memory_order_relaxed);
        convert_entry(eh, name, sql, targets.at(name), *src_db, *dst_db);
        n_tables_done.fetch_add(1, std::memory_order_relaxed);
    }

    eh.set_context(L"");
    n_tables_done.store(0, std::memory_order_relaxed);
    n_tables.store(0, std::memory_order_relaxed);
}

void dravik_convertor::use_listed_names(const udb_database& src_db) {
    std::vector<std::wstring> tables;
    for (const std::wstring& table : selected_tables) {
        std::wstring name = src_db.listed_name(table);
        if (std::find(tables.begin(), tables.end(), name) == tables.end()) tables.push_back(std::move(name));
    }
    selected_tables = std::move(tables);
    // Queries keep the names they were given; a table named like one of them
    // gives way to it, as it does under its own name.
    cnv_query_map queries;
    for (const auto& [name, sql] : selected_queries)
        if (!sql.empty()) queries.emplace(name, sql);
    for (const auto& [name, sql] : selected_queries)
        if (sql.empty()) queries.try_emplace(src_db.listed_name(name), sql);
    selected_queries = std::move(queries);
}

cnv_query_map dravik_convertor::run_entries(error_handler& eh) const {
    cnv_query_map entries = selected_queries;
    // A selected view is read through the view itself: its table holds the
    // rows the view shows, whatever its definition (which an account without
    // SHOW VIEW cannot even read).
    for (const auto& view : views) {
        const std::wstring sql = view_query(view.first);
        const auto [entry, added] = entries.try_emplace(view.first, sql);
        // The view's own query (from a saved profile) is the view: converted once.
        if (added || entry->second == sql) continue;
        // The table of that name is the query's: the view is not lost silently.
        eh.set_context(view.first);
        eh.handle(tk_exception(L"The view is not converted: a query of the same name is.", 0), false);
    }
    return entries;
}

std::wstring dravik_convertor::view_query(const std::wstring& view) const {
    return L"SELECT * FROM " + tk_utf8_to_unicode(mysql_converter_impl::engine.quote(view));
}

// Ends the table's COPY and commits it. A failure when it ends (a row the
// server refused at the end, a full disk, a lost connection) ends the run,
// reported as the errors of the run are.
void dravik_convertor::finish_copy(error_handler& eh, udb_recordset& dst) {
    try {
        dst.complete();
    } catch (const tk_exception& e) {
        eh.set_context(cur_table());
        eh.end_run(e);
    } catch (const std::exception& e) {
        eh.report_failure(tk_printable(tk_w2a_or_marks(cur_table())) + ": " + e.what());
        throw tk_final_exception();
    }
}

void dravik_convertor::convert_entry(error_handler& eh, const std::wstring& name, const std::wstring& sql,
                                     const cnv_dest_name& target, udb_database& src_db, udb_database& dst_db) {
    cnv_entry_copy copy;
    try {
        if (sql.empty() && !src_db.is_table_exist(name)) {
            report_missing_table(eh, name);
            return;
        }

        // Until the table's rows are committed no other run works on it, and
        // nobody sees it half made.
        table_unit unit(dst_db);
        dst_db.begin_table(target.name);
        const udb_table_source source = entry_source(name, sql);
        const existing_table existing = existing_dest(dst_db, target, source, n_mode);
        if (existing == existing_table::skip) {
            tk_trace_w(2, L"Skipping existing table '%s'", target.name.c_str());
            return;
        }
        open_entry(name, sql, source, target, existing == existing_table::replace, src_db, dst_db, copy);

        // Nothing of the rows has been read yet: the first window comes with
        // reset, once the line is ready to go ahead of anything said of them.
        copy.line.emplace(*copy.src, [this, &name](std::int64_t count) { announce_table(name, count); });
        const table_line_hook hook(m_give_table_line, *copy.line, copy.done);
        if (tab_def)
            copy.line->give(0);
        else
            copy_rows(eh, name, copy);
        // The end of a table is a boundary too: a stop here keeps nothing of it.
        check_stop();
        finish_copy(eh, *copy.dst);
        copy.dst.reset();
        copy.src.reset();
    } catch (const tk_final_exception&) {
        // The run ends here (a stop, Abort, an error that ends the run): the
        // rest of the source table is not read only to be dropped.
        if (copy.src) copy.src->abandon();
        throw;
    } catch (const tk_exception& e) {
        fail_entry(eh, name, e, copy);
    }
}

void dravik_convertor::report_missing_table(error_handler& eh, const std::wstring& name) {
    const tk_exception missing(L"Table " + name + L" not exists", 0);
    if (m_hooks && m_hooks->reports_missing_tables()) {
        // The program has shown it in its own words: counted and listed, no
        // second message.
        m_hooks->on_missing_table(name);
        eh.set_context(name);
        eh.note(missing);
        return;
    }
    if (m_hooks) m_hooks->on_missing_table(name);
    throw missing;
}

void dravik_convertor::open_entry(const std::wstring& name, const std::wstring& sql, const udb_table_source& source,
                                  const cnv_dest_name& target, bool replace, udb_database& src_db, udb_database& dst_db,
                                  cnv_entry_copy& copy) {
    static const udb_indexes no_indexes;
    const std::wstring& dest_name = target.name;
    // Definitions only: no row is read, so none can fail. Otherwise the rows
    // are read once the table's line can go ahead of them.
    const int open_mode = tab_def ? udb_database::definitions_mode : udb_database::rows_when_read_mode;
    copy.src = sql.empty() ? src_db.get_table(name, open_mode) : src_db.get_query(name, sql, open_mode);
    if (replace) dst_db.delete_tab(dest_name);

    copy.dst =
        dst_db.create_table_from(source, dest_name, copy.src->schema(), skip_idx ? no_indexes : copy.src->indexes());
    if (n_mode == mode_merge && !copy.src->schema().conform_to(copy.dst->schema()))
        throw tk_exception(tk_to_ansi(not_conforming), 0);

    if (target.generated) tk_trace_w(2, L"Store generated table name '%s'", dest_name.c_str());
    if (dest_name != name) dst_db.names_map().add_tn_mapping(name, dest_name);
}

void dravik_convertor::announce_table(const std::wstring& name, std::int64_t count) {
    n_records.store(count, std::memory_order_relaxed);
    tk_trace_w(3, L"Converting table %s (%lld records)", name.c_str(), static_cast<long long>(count));
    if (m_hooks) m_hooks->on_table(name, count);
}

void dravik_convertor::copy_rows(error_handler& eh, const std::wstring& name, cnv_entry_copy& copy) {
    udb_recordset& rows = *copy.src;
    table_line& line = *copy.line;
    std::int64_t& done = copy.done;
    line.give_if_counted(0);
    rows.reset();
    while (!rows.is_eof()) {
        check_stop();
        tk_trace(1, "Converting %lld record", static_cast<long long>(done));
        if ((done & 4095) == 0) line.give_if_counted(done);
        try {
            if (udb_record* rec = rows.get_item()) copy.dst->append_record(*rec);
        } catch (const pgs_exception& e) {
            // One refused row: reported with its number, the table goes on.
            tk_trace(2, "n_mode=%d, error=%d", n_mode, e.code());
            line.give(done);
            eh.set_record_context(name, done + 1);
            eh.handle(e, false);
        }
        rows.next();
        n_records_done.store(++done, std::memory_order_relaxed);
    }
    line.give(done);
}
