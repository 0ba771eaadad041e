#pragma once
// Modal windows of real Qt code in tests: looked at, and ended, from the
// event loop that runs them.
#include <QApplication>
#include <QTimer>
#include <functional>

// Runs `look` on the modal window once it is up, which must end it.
template <class W>
void when_shown(std::function<void(W&)> look) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, look] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        look(*w);
    });
    poll->start(10);
}
