#include "gui2/g_carry.h"

#include <QCoreApplication>
#include <QThread>

g_carrier::g_carrier() : m_context(std::make_unique<QObject>()) {}

g_carrier::~g_carrier() { close(); }

bool g_carrier::on_gui_thread() const noexcept { return QThread::currentThread() == m_context->thread(); }

void g_carrier::close() noexcept {
    std::lock_guard<std::mutex> g(m_lock);
    m_closed = true;
    m_changed.notify_all();
}

bool g_carrier::closed() const noexcept {
    std::lock_guard<std::mutex> g(m_lock);
    return m_closed;
}

bool g_carrier::post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_closed) return false;
    }
    return QMetaObject::invokeMethod(m_context.get(), std::move(task), Qt::QueuedConnection);
}

bool g_carrier::wait(const std::shared_ptr<pending>& state) {
    std::unique_lock<std::mutex> g(m_lock);
    // A call the GUI thread has started is always waited for: it works on
    // this thread's stack.
    m_changed.wait(g, [&] { return state->done || (m_closed && !state->running); });
    if (state->done) return true;
    // Closed before the GUI thread got to it: it must not run any more.
    state->abandoned = true;
    return false;
}
