#include "gui2/g_dialog.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>

#include "gui2/g_disp.h"

g_dialog::g_dialog(int dialog_id, g_dispatcher& dispatcher, QWidget* parent)
    : QDialog(parent, g_fixed_dialog_flags), m_dialog_id(dialog_id), m_dispatcher(dispatcher) {
    setObjectName(QString("dialog_%1").arg(dialog_id));
}

void g_dialog::on_click(int id, std::function<void()> f) {
    g_connect(m_dispatcher, &m_controls.as<QAbstractButton>(id), &QAbstractButton::clicked, this, std::move(f));
}

void g_dialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_initialized) return;
    m_initialized = true;
    m_dispatcher.run([this] { on_init(); });
}

void g_dialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        // Through the button, so that F1 is refused wherever the button is.
        auto* help = qobject_cast<QAbstractButton*>(m_controls.find(g_help_button_id));
        if (help && help->isVisible() && help->isEnabled()) help->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QLabel* g_message_icon(QWidget* parent, bool warning) {
    auto* label = new QLabel(parent);
    QStyle* style = parent->style();
    const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, parent);
    const QIcon icon =
        style->standardIcon(warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxCritical, nullptr, parent);
    label->setPixmap(icon.pixmap(size, size));
    label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return label;
}
