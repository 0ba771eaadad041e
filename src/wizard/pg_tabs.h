#pragma once
// The tables page and the views page (both dialog 127): an "available" and a
// "selected" list, both sorted, and four buttons that move names between
// them. The tables page also takes named SELECT queries (the query dialog),
// each converted into a table of its own; the views page offers the source
// database's views, each converted into a table of the rows it shows.
// Each page reads its selection from the converter when it is shown and
// writes it back on Next. The source server is asked behind the please-wait
// dialog.
#include <string>
#include <utility>
#include <vector>

#include "converter/cnv_udb.h"
#include "gui2/g_wiz_pg.h"

class QString;
class dravik_convertor;

namespace tabs_id {
inline constexpr int intro = 1337;
inline constexpr int available_label = 1334;
inline constexpr int available = 1317;
inline constexpr int add = 1101;
inline constexpr int add_all = 1102;
inline constexpr int remove = 1111;
inline constexpr int remove_all = 1110;
inline constexpr int add_query = 1114;
inline constexpr int selected_label = 1312;
inline constexpr int selected = 1318;
}  // namespace tabs_id

inline constexpr const wchar_t* no_tables_question = L"There are no tables selected. Continue anyway?";
inline constexpr const wchar_t* duplicate_name_text = L"Duplicate table name. Try again.";

// Names with their texts (empty for a table), in the order they are applied.
using tabs_names = std::vector<std::pair<std::wstring, std::wstring>>;

class sel_tables_page : public wizard_page {
public:
    // `question`: asked on Next when names are offered and none is selected;
    // empty asks nothing.
    sel_tables_page(wizard_shell& shell, wizard_page_style style, std::wstring question);

    void on_add();
    void on_add_all();
    void on_delete();
    void on_del_all();
    // The common first step of Next: the question, then the names of the
    // selected list that are not queries. False keeps the user on the page.
    bool check_selection();

    // The selected names that are not queries, after check_selection.
    const std::vector<std::wstring>& names() const noexcept { return m_names; }

protected:
    void set_texts(const QString& intro, const QString& available, const QString& selected);
    // Fills the available list with the names (and empties the selected one).
    void do_page_init();
    // Moves each name found in the available list (exactly) to the selected one.
    virtual void select_names(const tabs_names& names);
    virtual bool is_query(const QString& /*name*/) const { return false; }
    virtual void moved_to_selected(const QString& /*name*/) {}
    virtual void moved_to_available(const QString& /*name*/) {}

    bool move_to_selected(int index);
    bool move_to_available(int index);

    std::vector<std::wstring> m_names;

private:
    std::wstring m_question;
};

// The tables page's query handling: the queries in each list with their texts.
class sel_tables_query_page : public sel_tables_page {
public:
    sel_tables_query_page(wizard_shell& shell, wizard_page_style style, std::wstring question, dravik_convertor& conv);

    void on_help() override;
    void on_add_query();
    void on_edit_query();

    const cnv_query_map& selected_queries() const noexcept { return m_selected_queries; }
    const cnv_query_map& available_queries() const noexcept { return m_available_queries; }

protected:
    // A query with a text and a new name goes to the selected list; any other
    // name is moved there when the available list holds it.
    void select_names(const tabs_names& names) override;
    bool is_query(const QString& name) const override;
    void moved_to_selected(const QString& name) override;
    void moved_to_available(const QString& name) override;

    // No item of either list is the name, ignoring case; the selected item
    // `except` (an index, -1 none) is left out.
    bool name_is_free(const QString& name, int except = -1) const;

    cnv_query_map m_selected_queries;
    cnv_query_map m_available_queries;

private:
    dravik_convertor& m_conv;
};

class vek_sel_tables_page : public sel_tables_query_page {
public:
    vek_sel_tables_page(wizard_shell& shell, dravik_convertor& conv);

    bool page_init() override;
    void on_help() override;
    int on_next() override;

private:
    dravik_convertor& m_conv;
};

class vek_sel_views_page : public sel_tables_page {
public:
    vek_sel_views_page(wizard_shell& shell, dravik_convertor& conv);

    bool page_init() override;
    void on_help() override;
    int on_next() override;

private:
    dravik_convertor& m_conv;
    udb_queries m_views;
};
