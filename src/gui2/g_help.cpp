#include "gui2/g_help.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

g_help_window::g_help_window(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_browser(new QTextBrowser(this)),
      m_contents(new QPushButton(tr("&Contents"), this)),
      m_back(new QPushButton(tr("< &Back"), this)),
      m_forward(new QPushButton(tr("&Forward >"), this)) {
    setObjectName("help_window");
    m_browser->setOpenExternalLinks(true);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_contents);
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_browser, 1);

    // Nothing here can fail in a way the user must hear of, so these stay
    // plain connections.
    connect(m_contents, &QPushButton::clicked, this, [this] { go_contents(); });
    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] { update_title(); });
    resize(640, 520);
}

void g_help_window::show_topic(const QString& topic_file) {
    m_browser->setSource(QUrl::fromLocalFile(topic_file));
    show();
    raise();
    activateWindow();
}

QString g_help_window::current_file() const { return m_browser->source().toLocalFile(); }

void g_help_window::go_contents() {
    const QFileInfo current(current_file());
    if (current.fileName().isEmpty()) return;
    m_browser->setSource(QUrl::fromLocalFile(current.dir().filePath("index.html")));
}

void g_help_window::update_title() {
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? tr("Help") : title);
}
