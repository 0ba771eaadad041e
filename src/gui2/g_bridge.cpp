#include "gui2/g_bridge.h"

#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include "gui2/g_presen.h"

void g_clipboard_bridge::set_unicode_text(pf_clip_block block) {
    if (block.text) m_presenter.set_clipboard(QString::fromWCharArray(block.text.get()));
}

namespace {
class mailto_library : public pf_mail_library {
public:
    explicit mailto_library(g_presenter& presenter) : m_presenter(presenter) {}
    bool has_send_mail() const override { return true; }
    ULONG send_mail(const pf_mail_message& message, ULONG) override {
        QStringList to;
        for (const pf_mail_recipient& r : message.recipients) {
            QString address = QString::fromStdString(r.address);
            if (address.startsWith("mailto:", Qt::CaseInsensitive)) address = address.mid(7);
            if (r.recip_class == PF_MAPI_TO && !address.isEmpty()) to << address;
        }
        QUrl url;
        url.setScheme("mailto");
        url.setPath(to.join(','));
        QUrlQuery query;
        query.addQueryItem("subject", QString::fromStdString(message.subject));
        query.addQueryItem("body", QString::fromStdString(message.note_text));
        url.setQuery(query);
        m_presenter.open_url(url);
        return 0;
    }

private:
    g_presenter& m_presenter;
};
}  // namespace

std::unique_ptr<pf_mail_library> g_mail_bridge::load(const std::string&) {
    return std::make_unique<mailto_library>(m_presenter);
}

g_desktop_bridges::g_desktop_bridges(g_presenter& presenter)
    : m_clipboard(presenter),
      m_mail(presenter),
      m_old_clipboard(pf_set_clipboard(&m_clipboard)),
      m_old_mail(pf_set_mail_system(&m_mail)) {}

g_desktop_bridges::~g_desktop_bridges() {
    pf_set_mail_system(m_old_mail);
    pf_set_clipboard(m_old_clipboard);
}
