#pragma once
// The desktop services the toolkit reaches through the platform layer,
// served by the presenter: the clipboard (Copy to clipboard) and the mail
// client (Send bug, handed over as a mailto: link).
#include <memory>

#include "platform/pf_clipboard.h"
#include "platform/pf_mail.h"

class g_presenter;

class g_clipboard_bridge : public pf_clipboard {
public:
    explicit g_clipboard_bridge(g_presenter& presenter) : m_presenter(presenter) {}
    bool open() override { return true; }
    void empty() override {}
    void set_unicode_text(pf_clip_block block) override;
    void close() override {}

private:
    g_presenter& m_presenter;
};

class g_mail_bridge : public pf_mail_system {
public:
    explicit g_mail_bridge(g_presenter& presenter) : m_presenter(presenter) {}
    std::unique_ptr<pf_mail_library> load(const std::string& library) override;

private:
    g_presenter& m_presenter;
};

// Installs both bridges for as long as it lives.
class g_desktop_bridges {
public:
    explicit g_desktop_bridges(g_presenter& presenter);
    ~g_desktop_bridges();
    g_desktop_bridges(const g_desktop_bridges&) = delete;
    g_desktop_bridges& operator=(const g_desktop_bridges&) = delete;

private:
    g_clipboard_bridge m_clipboard;
    g_mail_bridge m_mail;
    pf_clipboard* m_old_clipboard;
    pf_mail_system* m_old_mail;
};
