#pragma once
// What the wizard's step pages share: their style, and the words a page
// shows for a server failure it reports itself.
#include <string>
#include <string_view>

#include "gui2/g_wiz_pg.h"

class QLabel;
class QString;
class QWidget;
class tk_error_converter;
class tk_exception;

// A page with Back and Next, a Help button and the header "Step n of 6".
wizard_page_style vek_step_style(int dialog_id, const wchar_t* title, const wchar_t* subtitle);

// A label whose mnemonic moves the focus to `buddy`.
QLabel* vek_buddy_label(const QString& text, QWidget* buddy, QWidget* parent);

// The text the error rows give for the exception's code, else its own, as
// one paragraph for a box to wrap: the servers' and the rows' line breaks
// and indents become single spaces, and the ends are trimmed.
std::string vek_error_text(const tk_error_converter& rows, const tk_exception& e);
// The same with the rows of both servers (PostgreSQL's, then MySQL's).
std::string vek_error_text(const tk_exception& e);
// A server's or a row's text as one trimmed paragraph.
std::string vek_box_paragraph(std::string_view text);
