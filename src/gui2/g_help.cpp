#include "gui2/g_help.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "gui2/g_sheet.h"

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
    resize(usual_size);
}

void g_help_window::show_topic(const QString& topic_file, QWidget* owner) {
    // A modal dialog blocks every window but those that belong to it: the
    // help asked for from one must be its window to be read at all.
    QWidget* in_use = QApplication::activeModalWidget();
    if (owner) {
        m_owner = owner->window();
        m_program_title = m_owner->windowTitle();
        setWindowIcon(m_owner->windowIcon());
        if (!in_use) in_use = m_owner;
        if (!isVisible()) place_beside(*m_owner);
    }
    // A control of our own window is no place to come back to.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() != this) m_focus_before = focus;
    m_browser->setSource(QUrl::fromLocalFile(topic_file));
    update_title();
    stand_in_front_of(in_use);
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

int g_help_window::min_readable_width() const {
    // Below about 40 characters a line a topic's paragraphs break every few
    // words; the row of Contents, Back and Forward needs its width too.
    const QMargins margins = layout()->contentsMargins();
    const int text = 40 * fontMetrics().averageCharWidth() +
                     2 * (m_browser->frameWidth() + qRound(m_browser->document()->documentMargin())) +
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_browser);
    return std::max(text + margins.left() + margins.right(), minimumSizeHint().width());
}

void g_help_window::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void g_help_window::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted()) return;
    // Hidden first, so that the window manager hands the focus to no other
    // window after ours has been given it back.
    hide();
    give_back_focus();
}

void g_help_window::stand_in_front_of(QWidget* window) {
    QWindow* const owner = window ? window->windowHandle() : nullptr;
    winId();  // the window system's window, to carry the owner
    QWindow* const mine = windowHandle();
    if (!mine || mine->transientParent() == owner) return;
    // The window system learns a window's owner when it is shown: an open
    // help window is shown again for its new owner.
    const bool open = isVisible();
    if (open) hide();
    mine->setTransientParent(owner);
    if (open) show();
}

void g_help_window::give_back_focus() {
    QWidget* const target = m_focus_before && m_focus_before->isVisible() ? m_focus_before.data() : nullptr;
    // The control that asked is gone (its dialog closed): the window in use
    // now, whose own focus is kept.
    QWidget* const window = target ? target->window() : QApplication::activeModalWidget();
    QWidget* const back = window ? window : m_owner.data();
    if (!back) return;
    back->activateWindow();
    if (target) target->setFocus(Qt::OtherFocusReason);
}

void g_help_window::place_beside(const QWidget& owner) {
    const QScreen* screen = owner.screen();
    if (!screen) return;
    // The owner's frame tells how much the window manager adds around ours.
    const QRect owner_frame = owner.frameGeometry();
    const QSize decoration = owner_frame.size() - owner.geometry().size();
    // The owner's last row when it is no wizard: nothing of it goes below.
    QRect buttons(owner_frame.left(), owner_frame.bottom(), owner_frame.width(), 1);
    if (const auto* sheet = dynamic_cast<const g_sheet*>(&owner)) buttons = sheet->button_row_geometry();
    const QRect frame = g_place_help(screen->availableGeometry(), owner_frame, buttons, usual_size + decoration,
                                     min_readable_width() + decoration.width());
    resize(frame.size() - decoration);
    move(frame.topLeft());
}

QRect g_place_help(const QRect& screen, const QRect& wizard, const QRect& buttons, QSize usual, int min_width) {
    const QSize size = usual.boundedTo(screen.size());
    const int right_room = screen.right() - wizard.right();
    const int left_room = wizard.left() - screen.left();
    const bool right = right_room >= left_room;
    // Beside the wizard: level with its top, lifted so that the bottom shows.
    auto beside = [&](int x, int width) {
        const int y = std::max(std::min(wizard.top(), screen.bottom() - size.height() + 1), screen.top());
        return QRect(x, y, width, size.height());
    };
    if (right_room >= size.width()) return beside(wizard.right() + 1, size.width());
    if (left_room >= size.width()) return beside(wizard.left() - size.width(), size.width());
    const int room = std::max(right_room, left_room);
    if (room >= min_width) return beside(right ? wizard.right() + 1 : screen.left(), room);

    // Over the wizard, on the side where it covers the least, clear of the
    // buttons: above them, or below the wizard when there is more room.
    const int x = right ? screen.right() - size.width() + 1 : screen.left();
    const int above = std::min(buttons.top(), screen.bottom() + 1) - screen.top();
    const int below = screen.bottom() - std::max(wizard.bottom(), buttons.bottom());
    // A window lower than a quarter of its usual height shows too little to
    // be read: then the buttons cannot be kept clear (a wizard nearly as tall
    // as the screen), and it takes its usual size against the edge.
    if (std::max(above, below) < size.height() / 4) return beside(x, size.width());
    if (above >= below) {
        const int height = std::min(size.height(), above);
        const int y = std::max(std::min(wizard.top(), buttons.top() - height), screen.top());
        return {x, y, size.width(), height};
    }
    const int height = std::min(size.height(), below);
    return {x, std::max(wizard.bottom(), buttons.bottom()) + 1, size.width(), height};
}
