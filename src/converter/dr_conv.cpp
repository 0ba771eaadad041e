#include "converter/dr_conv.h"

#include "converter/err_hand.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "udb/udb_db.h"

dravik_convertor::dravik_convertor(error_handler& errors, converter_form form)
    : tk_reg_key(registry_path), m_errors(errors), m_form(form) {
    tk_trace(2, "dravik_convertor::ctor");
    if (m_form == converter_form::wizard) serialize(false);
}

dravik_convertor::~dravik_convertor() {
    tk_trace(2, "dravik_convertor::dtor");
    if (m_form != converter_form::wizard) return;
    // Settings that cannot be saved are lost; the program still ends, and
    // the trace says why.
    try {
        if (!serialize(true))
            tk_trace(3, "The wizard's settings were not saved: the settings key did not open or a value failed");
    } catch (const std::exception& e) {
        tk_trace(3, "The wizard's settings were not saved: %s", e.what());
    } catch (...) {
        tk_trace(3, "The wizard's settings were not saved: unknown error");
    }
}

void dravik_convertor::on_escaped(const std::string& what) noexcept {
    try {
        // Level 2 ends the program once it is shown.
        m_errors.handle(tk_exception(what, 2), true);
    } catch (...) {
        // Its dialog failed as well: the toolkit's own way out.
    }
    tk_job::on_escaped(what);
}

bool dravik_convertor::test_query(const std::wstring& sql, std::string& refusal) {
    return mysql_converter_impl::test_query(src, sql, refusal);
}

void dravik_convertor::reopen_broken_connections() {
    mysql_converter_impl::engine.reopen_if_broken();
    pgs_converter_impl::engine.reopen_if_broken();
}

void dravik_convertor::check_dest() {
    tk_trace(1, "dravik_convertor::check_dest()");
    if (n_mode != mode_overwrite_database) return;
    if (!pgs_converter_impl::engine.is_db_exist(dest)) return;
    // Nothing is dropped unless the source opens: a mistyped source name must
    // not cost the destination database.
    const std::unique_ptr<udb_database> source = mysql_converter_impl::engine.open_db(src, 1);
    drop_dest_to_overwrite(*source);
}

void dravik_convertor::drop_dest_to_overwrite(udb_database& source) {
    if (n_mode != mode_overwrite_database) return;
    pgs_engine& pg = pgs_converter_impl::engine;
    if (!pg.is_db_exist(dest)) return;
    // A mistyped table name would otherwise empty the destination and then
    // have nothing to put in its place.
    check_entries_readable(source);
    // A database that could not be created again is never dropped.
    pg.check_recreatable(dest);
    pg.deletes_db(dest);
}

void dravik_convertor::check_entries_readable(const udb_database& source) {
    const std::string kept = ": the destination database " + tk_w2a_or_marks(dest) + " is left as it is.";
    // A selected table's name may also be a query's: the query is what the run reads.
    auto is_query = [&](const std::wstring& name) {
        const auto entry = selected_queries.find(name);
        return entry != selected_queries.end() && !entry->second.empty();
    };
    auto check_table = [&](const std::wstring& name) {
        tk_trace_w(2, L"Checking the source table '%s'", name.c_str());
        if (!is_query(name) && !source.is_table_exist(name))
            throw tk_exception("Table " + tk_w2a_or_marks(name) + " not exists" + kept, 1);
    };
    auto check_query = [&](const std::wstring& name, const std::wstring& sql) {
        tk_trace_w(2, L"Checking the query '%s'", name.c_str());
        std::string refusal;
        if (!test_query(sql, refusal))
            throw tk_exception("Query " + tk_w2a_or_marks(name) + " cannot be read (" + refusal + ")" + kept, 1);
    };
    for (const std::wstring& table : selected_tables) check_table(table);
    for (const auto& [name, sql] : selected_queries) {
        if (sql.empty())
            check_table(name);
        else
            check_query(name, sql);
    }
    // A view under a query's name is not read (run_entries).
    for (const auto& view : views)
        if (!is_query(view.first)) check_query(view.first, view_query(view.first));
}

std::vector<std::wstring> dravik_convertor::get_all_tables() {
    tk_trace(2, "dravik_convertor::get_all_tables");
    std::unique_ptr<udb_database> db = mysql_converter_impl::engine.open_db(src, 1);
    return db->table_names();
}

udb_queries& dravik_convertor::get_all_views(udb_queries& out) {
    tk_trace(2, "dravik_converter::get_all_views");
    std::unique_ptr<udb_database> db = mysql_converter_impl::engine.open_db(src, 33);
    out = db->queries();
    return out;
}

void dravik_convertor::take_view_queries(const udb_queries& source_views) {
    for (const auto& [name, definition] : source_views) {
        const auto it = selected_queries.find(name);
        if (it == selected_queries.end() || it->second != view_query(name)) continue;
        tk_trace_w(2, L"The query '%s' reads the view of its name: selected as the view", name.c_str());
        views.insert_or_assign(name, definition);
        selected_queries.erase(it);
    }
}
