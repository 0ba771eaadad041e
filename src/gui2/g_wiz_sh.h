#pragma once
// wizard_shell: the host of the wizard's sheet. It owns the pages and runs
// the page protocol (which page comes next, what Back, Cancel, Finish and
// Help do), the title and images, the 200 ms progress timer, the error,
// message and question boxes, and opens the help topics. Everything runs on
// the GUI thread; start_timer and the boxes may be called from a worker
// thread, whose call is carried to the GUI thread.
//
// Page protocol (what the pages' results mean):
//   page_init       false: the page is skipped in the direction of travel;
//                   an exception keeps the page being left (the dispatcher
//                   reports it; tk_final_exception: the page has told the
//                   user already)
//   on_next         0 the next page, -1 stay, else the dialog id to go to
//   store_settings  (Back) 0 the previous page, -1 stay, else a dialog id
//   on_kill_active  false: the page is not left
//   on_cancel       (Cancel, Escape, close box) true: the wizard ends
//   on_finish       true: the wizard ends as finished
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui2/g_presen.h"
#include "gui2/g_sheet.h"
#include "tk/tk_singl.h"

class g_carrier;
class g_dispatcher;
class wizard_page;

// What the shell needs from the program, passed in.
struct wizard_services {
    g_presenter& presenter;
    g_carrier& carrier;
    g_dispatcher& dispatcher;
};

class wizard_shell : public tk_singleton<wizard_shell> {
public:
    enum class end { finished, cancelled };

    // Icons and images are looked up by id among the program's resources
    // (":/images/<id>.png"); 0 means none.
    wizard_shell(const std::wstring& title, unsigned icon_id, unsigned watermark_id, unsigned header_id,
                 wizard_services services);
    ~wizard_shell() override;

    void set_bitmaps(unsigned watermark_id, unsigned header_id);
    // Applies the title and the icon, once; every page calls it on activation.
    void init_frame();
    // True once the first page has been shown (a shell must exist).
    static bool is_initialized();

    // The progress timer (ticks go to the current page's on_timer). Starting
    // it twice is an internal error; stopping a stopped timer does nothing.
    void start_timer(unsigned period_ms);
    void stop_timer();
    bool timer_running() const noexcept { return m_timer_running; }

    // Boxes. Before the first page is shown they have the bare caption
    // ("Error") and no owner; then the title comes first ("<title> Error").
    void error(const std::wstring& text);
    void error(const std::string& text);  // UTF-8
    void message(const std::wstring& text);
    // Yes/No; true for Yes.
    bool question(const std::wstring& text, g_button default_button = g_button::no);

    void display_help();
    void display_help(int topic);
    // The folder of the help topics ("<topic>.html", "index.html").
    void set_help_dir(const std::string& dir) { m_help_dir = dir; }
    const std::string& help_dir() const noexcept { return m_help_dir; }

    void enable_button(int id, bool enable);
    void set_wizard_buttons(unsigned flags);

    // Pages, in the order they were added. The shell owns them.
    wizard_page& add_page(std::unique_ptr<wizard_page> page);
    template <class P, class... A>
    P& emplace_page(A&&... args) {
        auto page = std::make_unique<P>(*this, std::forward<A>(args)...);
        P& ref = *page;
        add_page(std::move(page));
        return ref;
    }
    int page_count() const noexcept { return static_cast<int>(m_pages.size()); }
    wizard_page& page(int index) const { return *m_pages.at(static_cast<std::size_t>(index)); }
    int current_index() const noexcept { return m_current; }
    wizard_page* current_page() const noexcept;
    // The first page with that dialog id, -1 when none.
    int index_of_id(int dialog_id) const noexcept;
    // Leaves the current page for the page with that dialog id (no skipping);
    // false when there is none or either page refused.
    bool set_cur_sel_id(int dialog_id);

    // Shows the first page that accepts activation and runs the sheet
    // modally; how it ended. A sheet without such a page ends at once.
    end run();
    // Shows the sheet without waiting (tests drive it with the press_ calls).
    bool open();
    bool ended() const noexcept { return m_ended; }
    end how_ended() const noexcept { return m_end; }
    // Ends the sheet without asking the page: for a page that has settled
    // its own way out (a run stopped after Cancel).
    void end_wizard(end how) { end_with(how); }

    // The sheet's buttons and keys; each runs through the dispatcher.
    void press_next();
    void press_back();
    void press_finish();
    void press_cancel();
    void press_help();

    const std::wstring& title() const noexcept { return m_title; }
    g_sheet& sheet() noexcept { return *m_sheet; }
    // The window a dialog of the wizard opens over: `parent` when given, else
    // the active window (a dialog opened from a dialog), else the sheet.
    QWidget* dialog_owner(QWidget* parent);
    g_presenter& presenter() noexcept { return m_services.presenter; }
    g_carrier& carrier() noexcept { return m_services.carrier; }
    g_dispatcher& dispatcher() noexcept { return m_services.dispatcher; }

private:
    g_button box(const QString& text, g_icon icon, const char* kind, g_buttons buttons, g_button default_button);
    void go_next();
    void go_back();
    void go_finish();
    void go_cancel();
    void go_help();
    void on_tick();
    // Leaves the current page for the first page from `target` on (in steps
    // of `step`, 0: that page only) that accepts activation.
    bool move_to(int target, int step);
    bool activate(int index);
    void show_current();
    void end_with(end how);

    wizard_services m_services;
    std::wstring m_title;
    unsigned m_icon_id;
    bool m_timer_running = false;
    bool m_initialized = false;
    std::string m_help_dir;
    std::unique_ptr<g_sheet> m_sheet;  // before the pages: destroyed after them
    std::vector<std::unique_ptr<wizard_page>> m_pages;
    int m_current = -1;
    bool m_ended = false;
    end m_end = end::cancelled;
};

// The help folder of a program: its path with the extension replaced by
// ".help" ("/opt/x/dravik" -> "/opt/x/dravik.help").
std::string g_help_dir_for(const std::string& program_path);

// An image of the program's resources by id; null when there is none.
class QPixmap;
QPixmap g_resource_image(unsigned id);
