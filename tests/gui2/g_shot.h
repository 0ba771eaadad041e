#pragma once
// Captures of pages and dialogs under <build>/screenshots/, for a person to
// look at.
#include <QCoreApplication>
#include <QDir>
#include <QWidget>

inline QString save_shot(QWidget& widget, const QString& name) {
    QCoreApplication::processEvents();
    QDir().mkpath(VEK_SCREENSHOT_DIR);
    const QString path = QString(VEK_SCREENSHOT_DIR) + "/" + name + ".png";
    widget.grab().save(path);
    return path;
}

// A dialog that is not shown by the fake presenter: shown long enough to be
// laid out and captured.
inline QString save_dialog_shot(QWidget& dialog, const QString& name) {
    dialog.show();
    QCoreApplication::processEvents();
    const QString path = save_shot(dialog, name);
    dialog.hide();
    return path;
}
