#include "wizard/pg_welc.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "converter/dr_conv.h"
#include "converter/err_map.h"
#include "gui2/g_f_dlg.h"
#include "gui2/g_wiz_sh.h"
#include "tk/tk_log.h"
#include "wizard/vek_ids.h"

namespace {
wizard_page_style welcome_style() {
    wizard_page_style s;
    s.dialog_id = vek_page::welcome;
    s.buttons = wiz_next;
    s.exterior = true;
    return s;
}

QLabel* paragraph(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}
}  // namespace

welcome_page::welcome_page(wizard_shell& shell, dravik_convertor& conv, std::wstring extension)
    : wizard_page(shell, welcome_style()), m_conv(conv), m_extension(std::move(extension)) {
    auto* title = add_control(welcome_id::title, new QLabel("Welcome to the Database\nConversion Wizard\n", this));
    auto* load = add_control(welcome_id::load_profile, new QPushButton(tr("&Load profile"), this));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(
        paragraph(this, "This wizard helps you move MySQL database to PostgreSQL server. Click 'Next' to continue."));
    layout->addWidget(paragraph(this,
                                "WARNING: conversion productivity strongly depends on amount of available memory. "
                                "It is recommended that you exit all programs before continue with the wizard."));
    layout->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addWidget(load);
    row->addStretch(1);
    layout->addLayout(row);

    on_click(welcome_id::load_profile, [this] { on_load_profile(); });
}

bool welcome_page::page_init() {
    tk_trace(1, "welcome_page::page_init");
    set_title_font(welcome_id::title);
    return true;
}

void welcome_page::on_help() { shell().display_help(vek_topic::welcome); }

bool welcome_page::load_profile(const std::wstring& path) {
    try {
        if (m_conv.load_profile(path)) return true;
        shell().error(std::string(profile_unloadable_text));
    } catch (const tk_exception& e) {
        // A missing file, a mode the run does not know, text that is not UTF-8.
        shell().error(std::string(e.what()));
    }
    return false;
}

void welcome_page::on_load_profile() {
    std::vector<g_file_filter> filters = g_profile_filters(m_extension, "g_finish", 253);
    open_file_dialog dialog(shell().presenter(), this, "Select Profile File", std::move(filters), L"");
    if (dialog.run()) load_profile(dialog.path());
    after_profile_loaded();
}
