#pragma once
// udb_converter: what a conversion converts and how (mode, options,
// selections), and the progress of the current run.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "converter/cnv_tk.h"
#include "udb/udb_db.h"
#include "udb/udb_prof.h"

// Name -> SQL text, in the UTF-16 code-unit order of the names (the order
// of the run and of the profile file).
using cnv_query_map = std::map<std::wstring, std::wstring, udb_utf16_less>;

class udb_converter : public tk_converter {
public:
    enum mode_value : std::int32_t {
        mode_overwrite_database = 0,
        mode_overwrite_tables = 1,
        mode_skip_existing = 2,
        mode_merge = 3,
        mode_create = 4,  // no drop, no skip, no conformance test
    };

    udb_converter();
    ~udb_converter() override;

    // `refusal` receives why the query may not be read.
    virtual bool test_query(const std::wstring& sql, std::string& refusal) = 0;

    // Any integer; outside 0 to 4 the run treats it as mode 4. A mode set
    // here counts as chosen.
    void set_mode(std::int32_t mode);
    // The mode was set (the overwrite dialog, a profile, the command line)
    // rather than left as the converter began.
    bool mode_chosen() const noexcept { return m_mode_chosen; }
    static bool is_valid_mode(std::int32_t mode) { return mode >= 0 && mode <= 4; }

    // The tables become exactly `tables`: every earlier table selection
    // (including the tables a profile or a run entered among the selected
    // queries with an empty text) is dropped; queries stay.
    void replace_selected_tables(const std::vector<std::wstring>& tables);

    // The table or query being converted (a copy taken under a lock: the
    // wizard's timer reads it from another thread).
    std::wstring cur_table() const;

    bool store_profile(udb_profile& profile);
    bool load_profile(const udb_profile& profile);

    std::int32_t n_mode = 0;
    // Progress of the current run, written by the run's thread and read by
    // any other.
    std::atomic<std::int64_t> n_records{0};       // the current table's source record count
    std::atomic<std::int64_t> n_records_done{0};  // records of the current table handled
    std::atomic<std::uint32_t> n_tables{0};       // entries of the run: tables and queries
    std::atomic<std::uint32_t> n_tables_done{0};  // entries handled

    std::vector<std::wstring> selected_tables;  // in the order they were added
    cnv_query_map selected_queries;             // the run adds the tables with empty texts
    udb_queries views;                          // views chosen on the wizard's views page; each is converted
                                                // into a table of its rows
    cnv_query_map available_queries;            // every query the user defined
    bool tab_def = false;                       // table definitions only, no rows
    bool skip_idx = false;                      // no indexes on the destination tables
    bool convert_views = false;                 // the wizard offers its views page

protected:
    void set_cur_table(const std::wstring& name);

private:
    bool m_mode_chosen = false;
    mutable std::mutex m_cur_lock;
    std::wstring m_cur_table;
};
