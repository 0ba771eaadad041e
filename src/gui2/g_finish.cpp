#include "gui2/g_finish.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "gui2/g_wiz_sh.h"
#include "tk/tk_log.h"

namespace {
wizard_page_style finish_style() {
    wizard_page_style s;
    s.dialog_id = 116;
    s.buttons = wiz_finish;
    s.exterior = true;
    s.has_help = false;
    return s;
}
}  // namespace

std::string g_more_errors_text(std::uint64_t more) {
    return "... and " + std::to_string(more) + (more == 1 ? " more error." : " more errors.");
}

gui_finish_page::gui_finish_page(wizard_shell& shell, finish_texts texts)
    : wizard_page(shell, finish_style()), m_texts(std::move(texts)) {
    tk_trace(2, "gui_finish_page::ctor");
    auto* title = add_control(finish_id::title, new QLabel(completed_title, this));
    auto* text = add_control(finish_id::text, new QLabel(this));
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    auto* errors = add_control(finish_id::errors, new QPlainTextEdit(this));
    errors->setReadOnly(true);
    errors->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    errors->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    errors->hide();
    auto* save = add_control(finish_id::save, new QPushButton(tr("&Save Settings"), this));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addWidget(errors, 1);
    layout->addStretch(0);
    auto* row = new QHBoxLayout;
    row->addWidget(save);
    row->addStretch(1);
    layout->addLayout(row);

    on_click(finish_id::save, [this] { on_save(); });
}

bool gui_finish_page::page_init() {
    tk_trace(2, "gui_finish_page::page_init");
    set_title_font(finish_id::title);
    shell().enable_button(g_sheet_id::cancel, false);
    shell().enable_button(g_sheet_id::help, false);

    const finish_report r = report();
    const bool any_error = r.error_count > 0 || !r.errors.empty();
    controls().set_text(finish_id::title, QString(r.completed ? completed_title : incomplete_title));
    if (!r.completed) {
        controls().set_text(finish_id::text, m_texts.incomplete);
    } else if (any_error) {
        controls().set_text(finish_id::text, m_texts.errors);
    } else {
        tk_trace(2, "Display success-message");
        controls().set_text(finish_id::text, m_texts.success);
    }
    if (any_error) show_errors(r);
    return true;
}

void gui_finish_page::show_errors(const finish_report& r) {
    tk_trace(2, "Display errors");
    auto& edit = controls().as<QPlainTextEdit>(finish_id::errors);
    QString all;
    for (const std::string& e : r.errors) {
        std::string line = e;
        std::replace(line.begin(), line.end(), '\n', ' ');
        all += QString::fromStdString(line) + "\n\n";
    }
    const std::uint64_t listed = r.errors.size();
    if (r.error_count > listed) all += QString::fromStdString(g_more_errors_text(r.error_count - listed)) + "\n";
    edit.setPlainText(all.trimmed());
    edit.verticalScrollBar()->setValue(0);
    edit.show();
}
