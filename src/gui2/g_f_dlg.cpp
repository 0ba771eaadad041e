#include "gui2/g_f_dlg.h"

#include <QFileInfo>

#include "tk/tk_exc.h"
#include "tk/tk_log.h"

file_dialog::file_dialog(g_presenter& presenter, QWidget* owner, const QString& title,
                         std::vector<g_file_filter> filters, const std::wstring& initial)
    : m_presenter(presenter) {
    m_request.owner = owner;
    m_request.title = title;
    m_request.filters = std::move(filters);
    if (!initial.empty()) {
        const QFileInfo info(QString::fromStdWString(initial));
        if (initial.find(L'/') != std::wstring::npos) m_request.directory = info.path();
        m_request.file_name = info.completeBaseName();
    }
}

bool open_file_dialog::run() {
    tk_trace(1, "open_file_dialog::run");
    const std::optional<QString> chosen = m_presenter.open_file(m_request);
    if (!chosen) return false;
    m_path = chosen->toStdWString();
    return true;
}

save_file_dialog::save_file_dialog(g_presenter& presenter, QWidget* owner, const QString& title,
                                   std::vector<g_file_filter> filters, const std::wstring& initial,
                                   const std::wstring& extension)
    : file_dialog(presenter, owner, title, std::move(filters), initial) {
    if (extension.empty()) throw tk_mail_assertion("g_f_dlg", 111);
    m_extension = extension[0] == L'.' ? extension : L"." + extension;
}

std::wstring save_file_dialog::with_extension(const std::wstring& chosen, const std::wstring& dotted) {
    const std::size_t slash = chosen.rfind(L'/');
    const std::wstring name = slash == std::wstring::npos ? chosen : chosen.substr(slash + 1);
    // A dot that starts the name (a hidden file) is no extension; one that
    // ends it takes the extension after it.
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) return chosen + dotted;
    if (dot + 1 == name.size()) return chosen + dotted.substr(1);
    return chosen;
}

bool save_file_dialog::run() {
    tk_trace(1, "save_file_dialog::run");
    const std::optional<QString> chosen = m_presenter.save_file(m_request);
    if (!chosen) return false;
    m_path = with_extension(chosen->toStdWString(), m_extension);
    return true;
}

std::vector<g_file_filter> g_profile_filters(const std::wstring& extension, const char* site, int line) {
    if (extension.size() != 3) throw tk_mail_assertion(site, line);
    const QString ext = QString::fromStdWString(extension);
    return {{"Profile Files", "*." + ext}, {"All Files", "*"}};
}
