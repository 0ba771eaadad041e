#include "wizard/pg_util.h"

#include <QLabel>
#include <cctype>

#include "converter/err_map.h"
#include "tk/tk_errco.h"
#include "tk/tk_exc.h"

wizard_page_style vek_step_style(int dialog_id, const wchar_t* title, const wchar_t* subtitle) {
    wizard_page_style s;
    s.dialog_id = dialog_id;
    s.buttons = wiz_back | wiz_next;
    s.header_title = title;
    s.header_subtitle = subtitle;
    return s;
}

QLabel* vek_buddy_label(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

std::string vek_box_paragraph(std::string_view text) {
    std::string out;
    bool blank = false, line_break = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = true;
            line_break = line_break || c == '\n';
            continue;
        }
        if (blank && !out.empty()) {
            // libpq puts a hint on a line of its own, after a sentence
            // without a full stop ("Connection refused" / "Is the server").
            const bool sentence = line_break && std::isalnum(static_cast<unsigned char>(out.back())) &&
                                  std::isupper(static_cast<unsigned char>(c));
            out += sentence ? ". " : " ";
        }
        blank = line_break = false;
        out += c;
    }
    return out;
}

std::string vek_error_text(const tk_error_converter& rows, const tk_exception& e) {
    return vek_box_paragraph(mapped_error_text(rows, e));
}

std::string vek_error_text(const tk_exception& e) {
    tk_error_converter rows(pgs_error_map);
    rows.load_map(mysql_error_map);
    return vek_error_text(rows, e);
}
