#pragma once
// The file dialogs that choose profile files: open (the file must exist)
// and save (the default extension is added to a name that has none). The
// save dialog does not ask about an existing file: its caller does, once the
// extension is in place.
#include <string>
#include <vector>

#include "gui2/g_presen.h"

class file_dialog {
public:
    // `initial` is a full path or a bare file name: its folder is where the
    // dialog opens (the current directory when it has none), its name without
    // the extension is the name offered.
    file_dialog(g_presenter& presenter, QWidget* owner, const QString& title, std::vector<g_file_filter> filters,
                const std::wstring& initial);
    virtual ~file_dialog() = default;

    // True when the user chose a file; path() is then its full path.
    virtual bool run() = 0;
    const std::wstring& path() const noexcept { return m_path; }

protected:
    g_presenter& m_presenter;
    g_file_request m_request;
    std::wstring m_path;
};

class open_file_dialog : public file_dialog {
public:
    using file_dialog::file_dialog;
    bool run() override;
};

class save_file_dialog : public file_dialog {
public:
    // An empty extension is an internal error; "vek" and ".vek" are the same.
    save_file_dialog(g_presenter& presenter, QWidget* owner, const QString& title, std::vector<g_file_filter> filters,
                     const std::wstring& initial, const std::wstring& extension);
    bool run() override;

    // The chosen path with the extension added when the file's name has no
    // extension of its own ("a" -> "a.vek"; "a.txt" stays).
    static std::wstring with_extension(const std::wstring& chosen, const std::wstring& dotted_extension);

private:
    std::wstring m_extension;  // with its dot
};

// The profile filter: "Profile Files" "*.<ext>" and "All Files" "*" (every
// file: "*.*" would leave out names without a dot). The extension must be exactly 3 characters (else an internal error
// of the given site).
std::vector<g_file_filter> g_profile_filters(const std::wstring& extension, const char* site, int line);
