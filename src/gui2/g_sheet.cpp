#include "gui2/g_sheet.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// Room the watermark column takes on the exterior pages, and the header
// image's box, in pixels at normal scaling.
constexpr int watermark_width = 164;
constexpr int header_image_size = 49;
// The page area every page of the wizard shares, in average characters and
// lines of the dialog font: the walk and the quick launch open at one size.
constexpr int page_columns = 108;
constexpr int page_lines = 23;

QFrame* etched_line(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
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
      m_stack(new QStackedWidget(m_body)),
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

    const QFontMetrics metrics(font());
    m_stack->setMinimumSize(metrics.averageCharWidth() * page_columns, metrics.lineSpacing() * page_lines);
    auto* page_box = new QVBoxLayout(m_body);
    page_box->setContentsMargins(0, 0, 0, 0);
    page_box->addWidget(m_stack);

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
    setMinimumSize(600, 440);
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
    m_watermark->setVisible(exterior);
    m_header->setVisible(!exterior);
    m_header_line->setVisible(!exterior);
    // Exterior pages sit on white beside the watermark; step pages on the
    // window's own colour below the header.
    m_body->setAutoFillBackground(exterior);
    QPalette p = palette();
    if (exterior) p.setColor(QPalette::Window, p.color(QPalette::Base));
    m_body->setPalette(p);
    m_stack->setContentsMargins(exterior ? QMargins(20, 20, 20, 8) : QMargins(36, 16, 36, 8));
    m_title->setText(title);
    m_subtitle->setText(subtitle);
    m_controls.enable(g_sheet_id::help, has_help);
    m_stack->setCurrentWidget(page);
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
