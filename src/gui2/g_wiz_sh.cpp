#include "gui2/g_wiz_sh.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

#include "gui2/g_carry.h"
#include "gui2/g_disp.h"
#include "gui2/g_wiz_pg.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {
const char* const no_help_text = "Help file does not exist. Reinstall the program.";
}

std::string g_help_dir_for(const std::string& program_path) {
    const std::size_t slash = program_path.rfind('/');
    const std::size_t dot = program_path.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? program_path.substr(0, dot) : program_path) + ".help";
}

QPixmap g_resource_image(unsigned id) {
    if (id == 0) return QPixmap();
    return QPixmap(QString(":/images/%1.png").arg(id));
}

wizard_shell::wizard_shell(const std::wstring& title, unsigned icon_id, unsigned watermark_id, unsigned header_id,
                           wizard_services services)
    : m_services(services), m_title(title), m_icon_id(icon_id), m_sheet(std::make_unique<g_sheet>()) {
    tk_trace(2, "wizard_shell::ctor");
    m_help_dir = g_help_dir_for(tk_get_module_name());
    m_sheet->set_handlers({[this] { press_back(); }, [this] { press_next(); }, [this] { press_finish(); },
                           [this] { press_cancel(); }, [this] { press_help(); },
                           [this] { dispatcher().run([this] { on_tick(); }); }});
    set_bitmaps(watermark_id, header_id);
}

wizard_shell::~wizard_shell() {
    tk_trace(1, "wizard_shell::dtor");
    m_initialized = false;
    stop_timer();
    // A worker still waiting for the screen gets its fallback answer from
    // now on: the pages' threads are about to be waited for.
    carrier().close();
    m_sheet->hide();
    while (!m_pages.empty()) m_pages.pop_back();
}

void wizard_shell::set_bitmaps(unsigned watermark_id, unsigned header_id) {
    if (watermark_id) m_sheet->set_watermark(g_resource_image(watermark_id));
    if (header_id) m_sheet->set_header_image(g_resource_image(header_id));
}

void wizard_shell::init_frame() {
    if (m_initialized) return;
    m_sheet->setWindowTitle(QString::fromStdWString(m_title));
    if (m_icon_id) {
        // Boxes, file dialogs and the help window carry the program's icon too.
        const QIcon icon(g_resource_image(m_icon_id));
        m_sheet->setWindowIcon(icon);
        QApplication::setWindowIcon(icon);
    }
    m_initialized = true;
}

bool wizard_shell::is_initialized() {
    tk_trace(1, "wizard_shell::is_initialized");
    wizard_shell* shell = find();
    if (!shell) {
        tk_trace(1, "Before return false");
        return false;
    }
    tk_trace(1, "Singleton has been initialized");
    return shell->m_initialized;
}

void wizard_shell::start_timer(unsigned period_ms) {
    const bool started = carrier().run([&] {
        if (m_timer_running) throw tk_mail_assertion("g_wiz_sh", 223);
        m_sheet->start_timer(static_cast<int>(period_ms));
        m_timer_running = true;
    });
    if (!started) throw tk_mail_assertion("g_wiz_sh", 231);
}

void wizard_shell::stop_timer() {
    carrier().run([&] {
        if (!m_timer_running) return;
        m_sheet->stop_timer();
        m_timer_running = false;
    });
}

g_button wizard_shell::box(const QString& text, g_icon icon, const char* kind, g_buttons buttons,
                           g_button default_button) {
    const g_button refused = buttons == g_buttons::yes_no ? g_button::no : g_button::cancel;
    return carrier().call(
        [&] {
            const bool framed = is_initialized();
            g_box b;
            b.owner = framed ? m_sheet.get() : nullptr;
            b.caption = framed ? QString::fromStdWString(m_title) + " " + kind : QString(kind);
            b.text = text;
            b.icon = icon;
            b.buttons = buttons;
            b.default_button = default_button;
            return presenter().show_box(b);
        },
        refused);
}

QWidget* wizard_shell::dialog_owner(QWidget* parent) {
    if (parent) return parent;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return m_sheet.get();
}

void wizard_shell::error(const std::wstring& text) {
    tk_trace_w(1, L"wizard_shell::error(%s)", text.c_str());
    box(QString::fromStdWString(text), g_icon::error, "Error", g_buttons::ok, g_button::ok);
    tk_trace_w(3, L"%s", text.c_str());
}

void wizard_shell::error(const std::string& text) {
    tk_trace(1, "wizard_shell::error(%s)", text.c_str());
    box(QString::fromStdString(text), g_icon::error, "Error", g_buttons::ok, g_button::ok);
    tk_trace(3, "%s", text.c_str());
}

void wizard_shell::message(const std::wstring& text) {
    tk_trace_w(1, L"wizard_shell::message(%s)", text.c_str());
    box(QString::fromStdWString(text), g_icon::information, "Message", g_buttons::ok, g_button::ok);
    tk_trace_w(3, L"%s", text.c_str());
}

bool wizard_shell::question(const std::wstring& text, g_button default_button) {
    return box(QString::fromStdWString(text), g_icon::question, "Question", g_buttons::yes_no, default_button) ==
           g_button::yes;
}

void wizard_shell::display_help() {
    tk_trace(1, "wizard_shell::display_help");
    const std::string path = m_help_dir + "/index.html";
    if (!tk_is_file_exist(path, tk_file_read)) return error(std::string(no_help_text));
    presenter().show_help(QString::fromStdString(path), m_sheet.get());
}

void wizard_shell::display_help(int topic) {
    tk_trace(1, "wizard_shell::display_help(%d)", topic);
    const std::string path = m_help_dir + "/" + std::to_string(topic) + ".html";
    if (!tk_is_file_exist(path, tk_file_read)) return error(std::string(no_help_text));
    presenter().show_help(QString::fromStdString(path), m_sheet.get());
}

void wizard_shell::enable_button(int id, bool enable) {
    tk_trace(2, "wizard_shell::enable_button(%08X)", static_cast<unsigned>(id));
    m_sheet->controls().enable(id, enable);
}

void wizard_shell::set_wizard_buttons(unsigned flags) { m_sheet->set_buttons(flags); }

wizard_page& wizard_shell::add_page(std::unique_ptr<wizard_page> page) {
    if (!page) throw tk_mail_assertion("g_wiz_sh", 300);
    m_sheet->add_page(page.get());
    m_pages.push_back(std::move(page));
    return *m_pages.back();
}

wizard_page* wizard_shell::current_page() const noexcept {
    return m_current < 0 ? nullptr : m_pages[static_cast<std::size_t>(m_current)].get();
}

int wizard_shell::index_of_id(int dialog_id) const noexcept {
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i]->dialog_id() == dialog_id) return static_cast<int>(i);
    return -1;
}

bool wizard_shell::activate(int index) {
    // A page that refuses, or fails, must not leave its buttons behind.
    const unsigned before = m_sheet->buttons();
    try {
        if (page(index).OnSetActive()) return true;
    } catch (...) {
        m_sheet->set_buttons(before);
        throw;
    }
    m_sheet->set_buttons(before);
    return false;
}

void wizard_shell::show_current() {
    wizard_page& p = *current_page();
    const wizard_page_style& s = p.style();
    m_sheet->show_page(&p, s.exterior, QString::fromStdWString(s.header_title),
                       QString::fromStdWString(s.header_subtitle), s.has_help);
    // Enter always means Next (or Finish), also when a button of the page has
    // the focus; Space presses that button.
    for (QPushButton* b : p.findChildren<QPushButton*>()) b->setAutoDefault(false);
    QWidget* focus = p.first_focus();
    if (!focus) {
        const int id = (m_sheet->buttons() & wiz_finish) ? g_sheet_id::finish : g_sheet_id::next;
        focus = &m_sheet->controls().at(id);
    }
    focus->setFocus(Qt::TabFocusReason);
}

bool wizard_shell::move_to(int target, int step) {
    wizard_page* from = current_page();
    if (from && !from->on_kill_active()) return false;
    for (int i = target; i >= 0 && i < page_count(); i += step) {
        if (activate(i)) {
            m_current = i;
            show_current();
            return true;
        }
        if (step == 0) break;
    }
    return false;
}

bool wizard_shell::open() {
    if (m_current < 0 && !move_to(0, 1)) return false;
    // Sized once, with its first page in place and before it is mapped.
    if (!m_sheet->isVisible()) m_sheet->fit_to_screen();
    m_sheet->show();
    return true;
}

wizard_shell::end wizard_shell::run() {
    if (!open()) return end::cancelled;
    if (!m_ended) m_sheet->exec();
    return m_end;
}

void wizard_shell::end_with(end how) {
    m_end = how;
    m_ended = true;
    stop_timer();
    m_sheet->done(how == end::finished ? 1 : 0);
}

bool wizard_shell::set_cur_sel_id(int dialog_id) {
    const int target = index_of_id(dialog_id);
    if (target < 0) return false;
    return move_to(target, 0);
}

void wizard_shell::go_next() {
    wizard_page* p = current_page();
    if (!p) return;
    const int r = p->on_next();
    if (r == -1) return;
    const int target = r == 0 ? m_current + 1 : index_of_id(r);
    if (target < 0 || target >= page_count()) {
        tk_trace(2, "wizard_shell: no page %d to go to", r);
        return;
    }
    move_to(target, target > m_current ? 1 : -1);
}

void wizard_shell::go_back() {
    wizard_page* p = current_page();
    if (!p) return;
    const int r = p->store_settings();
    if (r == -1) return;
    const int target = r == 0 ? m_current - 1 : index_of_id(r);
    if (target < 0 || target >= page_count()) return;
    move_to(target, target < m_current ? -1 : 1);
}

void wizard_shell::go_finish() {
    wizard_page* p = current_page();
    if (p && p->on_finish()) end_with(end::finished);
}

void wizard_shell::go_cancel() {
    wizard_page* p = current_page();
    if (!p || p->on_cancel()) end_with(end::cancelled);
}

void wizard_shell::go_help() {
    wizard_page* p = current_page();
    if (p && p->style().has_help) p->on_help();
}

void wizard_shell::on_tick() {
    if (wizard_page* p = current_page()) p->on_timer();
}

void wizard_shell::press_next() {
    if (m_sheet->buttons() & wiz_next) dispatcher().run([this] { go_next(); });
}

void wizard_shell::press_back() {
    if (m_sheet->buttons() & wiz_back) dispatcher().run([this] { go_back(); });
}

void wizard_shell::press_finish() {
    if (m_sheet->buttons() & wiz_finish) dispatcher().run([this] { go_finish(); });
}

void wizard_shell::press_cancel() {
    if (m_sheet->controls().is_enabled(g_sheet_id::cancel)) dispatcher().run([this] { go_cancel(); });
}

void wizard_shell::press_help() {
    if (m_sheet->controls().is_enabled(g_sheet_id::help)) dispatcher().run([this] { go_help(); });
}
