#include "gui2/g_help.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
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

void g_help_window::show_topic(const QString& topic_file, QWidget* owner) {
    if (owner) {
        m_program_title = owner->window()->windowTitle();
        setWindowIcon(owner->window()->windowIcon());
        if (!isVisible()) place_beside(*owner->window());
    }
    m_browser->setSource(QUrl::fromLocalFile(topic_file));
    update_title();
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
    const QString topic = m_browser->documentTitle();
    const QString help = m_program_title.isEmpty() ? tr("Help") : m_program_title + " " + tr("Help");
    setWindowTitle(topic.isEmpty() ? help : help + " - " + topic);
}

void g_help_window::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void g_help_window::place_beside(const QWidget& owner) {
    const QScreen* screen = owner.screen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    // The owner's frame tells how much the window manager adds around ours.
    const QRect owner_frame = owner.frameGeometry();
    const QSize decoration = owner_frame.size() - owner.geometry().size();
    const QSize wanted = size().boundedTo(available.size() - decoration);
    resize(wanted);
    move(g_place_beside(owner_frame, wanted + decoration, available));
}

QPoint g_place_beside(const QRect& owner, const QSize& size, const QRect& screen) {
    int x = owner.right() + 1;
    if (x + size.width() - 1 > screen.right()) x = owner.left() - size.width();
    if (x < screen.left()) x = screen.right() - size.width() + 1;
    x = std::max(x, screen.left());
    int y = std::min(owner.top(), screen.bottom() - size.height() + 1);
    y = std::max(y, screen.top());
    return {x, y};
}
