#pragma once
// g_dispatcher: the one way Qt's events reach our code. Every signal a page
// or dialog connects (g_connect) and every event the sheet handles runs
// inside run(), which lets no exception escape into Qt:
//   tk_exception        -> the error handler (outermost scope): it shows the
//                          error (or ends the program after an internal one)
//   tk_final_exception  -> nothing more: it was reported where it was raised
//   any other exception -> its text in the error box
#include <exception>
#include <functional>
#include <string>
#include <utility>

#include <QObject>

class error_handler;

class g_dispatcher {
public:
    // `error_box` shows a narrow text as an error; `handler` may be null (then
    // a tk_exception's own text goes to the error box as well).
    g_dispatcher(std::function<void(const std::string&)> error_box, error_handler* handler);

    // Runs f; true when it returned normally.
    template <class F>
    bool run(F&& f) noexcept {
        try {
            std::forward<F>(f)();
            return true;
        } catch (...) {
            report(std::current_exception());
            return false;
        }
    }

    void set_error_box(std::function<void(const std::string&)> error_box) { m_error_box = std::move(error_box); }
    void set_error_handler(error_handler* handler) noexcept { m_handler = handler; }

private:
    void report(std::exception_ptr error) noexcept;
    void show(const std::string& text) noexcept;

    std::function<void(const std::string&)> m_error_box;
    error_handler* m_handler;
};

// Connects a signal to f through the dispatcher; the signal's arguments are
// not passed on. `context` ends the connection when it is destroyed.
template <class Sender, class Signal, class F>
QMetaObject::Connection g_connect(g_dispatcher& dispatcher, Sender* sender, Signal signal, QObject* context, F f) {
    return QObject::connect(sender, signal, context,
                            [&dispatcher, f = std::move(f)](auto&&...) mutable { dispatcher.run(f); });
}
