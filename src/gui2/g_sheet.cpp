#include "gui2/g_sheet.h"

#include <algorithm>

#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// Room the watermark column takes on the exterior pages, and the header
// image's box, in pixels at normal scaling.
constexpr int watermark_width = 164;
constexpr int header_image_size = 49;
// The page area every page of the wizard is drawn for, in average characters
// and lines of the dialog font: the walk and the quick launch open at one
// size. It is what the sheet prefers, not what it needs: on a screen too small
// for it the pages get less room and their texts wrap.
constexpr int page_columns = 108;
constexpr int page_lines = 23;
// Room kept for the window manager's frame (title bar and borders), which is
// not known before the window is first mapped.
constexpr int frame_allowance_width = 10;
constexpr int frame_allowance_height = 40;

// The pages' stack asks for no more than its pages need: the page area
// spacer beside it says what the sheet prefers.
class page_stack : public QStackedWidget {
public:
    explicit page_stack(QWidget* parent) : QStackedWidget(parent) {}
    QSize sizeHint() const override { return minimumSizeHint(); }
};

QFrame* etched_line(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void forget_sizes(QLayout* layout) {
    if (!layout) return;
    for (int i = 0; i < layout->count(); ++i) forget_sizes(layout->itemAt(i)->layout());
    layout->invalidate();
}

void paint_white(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Base));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
}  // namespace

g_sheet::g_sheet()
    : m_watermark(new QLabel(this)),
      m_header(new QWidget(this)),
      m_title(new QLabel(m_header)),
      m_subtitle(new QLabel(m_header)),
      m_header_image(new QLabel(m_header)),
      m_body(new QWidget(this)),
      m_stack(new page_stack(m_body)),
      m_button_row(new QHBoxLayout) {
    setObjectName("wizard_sheet");
    setSizeGripEnabled(false);

    // The header strip: bold title, indented subtitle, image on the right.
    paint_white(m_header);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_subtitle->setWordWrap(true);
    m_header_image->setFixedSize(header_image_size, header_image_size);
    m_header_image->setAlignment(Qt::AlignCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(m_title);
    auto* indent = new QHBoxLayout;
    indent->addSpacing(16);
    indent->addWidget(m_subtitle, 1);
    texts->addLayout(indent);
    texts->addStretch(1);
    auto* header_row = new QHBoxLayout(m_header);
    header_row->setContentsMargins(20, 10, 10, 8);
    header_row->addLayout(texts, 1);
    header_row->addWidget(m_header_image, 0, Qt::AlignTop);
    m_header_line = etched_line(this);

    // The watermark column of the exterior pages.
    m_watermark->setFixedWidth(watermark_width);
    m_watermark->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_watermark->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    m_watermark->setAutoFillBackground(true);

    // The page area: a spacer of the size above shares the pages' cell, so
    // the sheet prefers that size (also where the height follows wrapped
    // texts) and a page that needs more gets it. What a page would merely
    // like beyond that it does without: every set of pages opens at one size.
    const QFontMetrics metrics(font());
    m_page_box = new QGridLayout(m_body);
    m_page_box->addItem(new QSpacerItem(metrics.averageCharWidth() * page_columns, metrics.lineSpacing() * page_lines,
                                        QSizePolicy::Preferred, QSizePolicy::Preferred),
                        0, 0);
    m_page_box->addWidget(m_stack, 0, 0);

    auto* middle = new QVBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(m_header);
    middle->addWidget(m_header_line);
    middle->addWidget(m_body, 1);
    auto* body_row = new QHBoxLayout;
    body_row->setSpacing(0);
    body_row->addWidget(m_watermark);
    body_row->addLayout(middle, 1);

    // The button row.
    auto* help = new QPushButton(tr("&Help"), this);
    auto* back = new QPushButton(tr("< &Back"), this);
    auto* next = new QPushButton(tr("&Next >"), this);
    auto* finish = new QPushButton(tr("&Finish"), this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    m_controls.add(g_sheet_id::help, help);
    m_controls.add(g_sheet_id::back, back);
    m_controls.add(g_sheet_id::next, next);
    m_controls.add(g_sheet_id::finish, finish);
    m_controls.add(g_sheet_id::cancel, cancel);
    for (QPushButton* b : {help, back, next, finish, cancel}) b->setMinimumWidth(88);
    QHBoxLayout* button_row = m_button_row;
    button_row->setContentsMargins(11, 10, 11, 11);
    button_row->addWidget(help);
    button_row->addStretch(1);
    button_row->addWidget(back);
    button_row->addWidget(next);
    button_row->addWidget(finish);
    button_row->addSpacing(10);
    button_row->addWidget(cancel);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(0);
    all->addLayout(body_row, 1);
    all->addWidget(etched_line(this));
    all->addLayout(button_row);

    // The handlers are the shell's, which lets no exception through.
    connect(back, &QPushButton::clicked, this, [this] { call(m_handlers.back); });
    connect(next, &QPushButton::clicked, this, [this] { call(m_handlers.next); });
    connect(finish, &QPushButton::clicked, this, [this] { call(m_handlers.finish); });
    connect(cancel, &QPushButton::clicked, this, [this] { call(m_handlers.cancel); });
    connect(help, &QPushButton::clicked, this, [this] { call(m_handlers.help); });
    connect(&m_timer, &QTimer::timeout, this, [this] { call(m_handlers.timer); });

    set_buttons(0);
    show_look(true);
}

void g_sheet::set_watermark(const QPixmap& image) {
    if (image.isNull()) return m_watermark->setPixmap(image);
    // Kept in proportion at the column's width; below it, when the window is
    // taller than the image, the column goes on in the image's bottom colour.
    const QPixmap scaled = image.scaledToWidth(watermark_width, Qt::SmoothTransformation);
    QPalette p = m_watermark->palette();
    p.setColor(QPalette::Window, scaled.toImage().pixelColor(0, scaled.height() - 1));
    m_watermark->setPalette(p);
    m_watermark->setPixmap(scaled);
}

void g_sheet::set_header_image(const QPixmap& image) {
    m_header_image->setPixmap(image.isNull() ? image
                                             : image.scaled(header_image_size, header_image_size, Qt::KeepAspectRatio,
                                                            Qt::SmoothTransformation));
}

void g_sheet::add_page(QWidget* page) { m_stack->addWidget(page); }

void g_sheet::show_page(QWidget* page, bool exterior, const QString& title, const QString& subtitle, bool has_help) {
    show_look(exterior);
    m_title->setText(title);
    m_subtitle->setText(subtitle);
    m_controls.enable(g_sheet_id::help, has_help);
    m_stack->setCurrentWidget(page);
}

void g_sheet::show_look(bool exterior) {
    m_exterior = exterior;
    m_watermark->setVisible(exterior);
    m_header->setVisible(!exterior);
    m_header_line->setVisible(!exterior);
    // Exterior pages sit on white beside the watermark; step pages on the
    // window's own colour below the header.
    m_body->setAutoFillBackground(exterior);
    QPalette p = palette();
    if (exterior) p.setColor(QPalette::Window, p.color(QPalette::Base));
    m_body->setPalette(p);
    m_page_box->setContentsMargins(exterior ? QMargins(20, 20, 20, 8) : QMargins(36, 16, 36, 8));
    // Before the window is shown, hiding a child forgets only the sizes of
    // the sheet's outer layout; the inner ones would go on answering with the
    // look they had.
    forget_sizes(layout());
}

QSize g_sheet::opening_size(const QSize& available) {
    // One size for both looks, so that the window keeps its size from the
    // welcome page to the finish page: the width the widest look prefers,
    // then the height the tallest look needs at that width (wrapped texts
    // grow as the width shrinks). Within the screen, but never below what
    // the pages need, which would cut them off instead. The layout's own
    // hint, as the window's would be the height for the hint's width while a
    // page with wrapped texts is shown, and the sheet would open taller or
    // shorter depending on which page is.
    const bool shown_look = m_exterior;
    QLayout& all = *layout();
    int preferred_width = 0, needed_width = 0;
    for (bool exterior : {true, false}) {
        show_look(exterior);
        preferred_width = std::max(preferred_width, all.sizeHint().width());
        needed_width = std::max(needed_width, all.totalMinimumSize().width());
    }
    const int width = std::max(needed_width, std::min(preferred_width, available.width()));
    int preferred_height = 0, needed_height = 0;
    for (bool exterior : {true, false}) {
        show_look(exterior);
        const int for_width = all.hasHeightForWidth() ? all.totalHeightForWidth(width) : 0;
        preferred_height = std::max({preferred_height, all.sizeHint().height(), for_width});
        needed_height = std::max({needed_height, all.totalMinimumSize().height(), for_width});
    }
    show_look(shown_look);
    return {width, std::max(needed_height, std::min(preferred_height, available.height()))};
}

void g_sheet::fit_to_screen() {
    const QScreen* on = screen();
    if (!on) return;
    QSize frame = frameGeometry().size() - geometry().size();
    if (!isVisible() || frame.isEmpty()) frame = QSize(frame_allowance_width, frame_allowance_height);
    const QRect area = on->availableGeometry();
    resize(opening_size(area.size() - frame));
    // Centred on the screen's free area, frame included.
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(area.center());
    move(std::max(placed.left(), area.left()), std::max(placed.top(), area.top()));
}

QRect g_sheet::button_row_geometry() const {
    const QRect row = m_button_row->geometry();
    return {mapToGlobal(row.topLeft()), row.size()};
}

QWidget* g_sheet::current_page() const { return m_stack->currentWidget(); }

void g_sheet::set_buttons(unsigned flags) {
    m_buttons = flags;
    const bool finish = (flags & wiz_finish) != 0;
    m_controls.enable(g_sheet_id::back, (flags & wiz_back) != 0);
    m_controls.show(g_sheet_id::next, !finish);
    m_controls.show(g_sheet_id::finish, finish);
    m_controls.enable(g_sheet_id::next, (flags & wiz_next) != 0);
    m_controls.enable(g_sheet_id::finish, finish);
    // Enter presses Next, or Finish in its place.
    m_controls.as<QPushButton>(g_sheet_id::next).setDefault(!finish);
    m_controls.as<QPushButton>(g_sheet_id::finish).setDefault(finish);
}

void g_sheet::start_timer(int period_ms) { m_timer.start(period_ms); }

void g_sheet::stop_timer() { m_timer.stop(); }

QString g_sheet::header_title() const { return m_title->text(); }

QString g_sheet::header_subtitle() const { return m_subtitle->text(); }

bool g_sheet::header_visible() const { return !m_header->isHidden(); }

bool g_sheet::watermark_visible() const { return !m_watermark->isHidden(); }

void g_sheet::reject() { call(m_handlers.cancel); }

void g_sheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        call(m_handlers.help);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
