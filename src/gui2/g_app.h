#pragma once
// The window framework's start: the display check that comes before it, and
// the application object whose event delivery lets no exception escape.
#include <QApplication>

class g_dispatcher;

// True when a window platform can be started: the platform asked for
// (the -platform argument, else QT_QPA_PLATFORM) is one without a display
// (offscreen, minimal, ...) or its display is named in the environment.
// Without any request, an X or Wayland display must be named.
bool g_display_available(int argc, char** argv);

// Checks the display and starts the window framework. Where none can start,
// "Failed to initialize GUI library" goes to standard error and the program
// ends with exit code -1, also when the platform fails inside Qt.
void init_common_controls(int argc, char** argv);

class g_application : public QApplication {
public:
    // init_common_controls must have passed.
    g_application(int& argc, char** argv);
    ~g_application() override;

    // The dispatcher that events reaching no page code of ours still go
    // through (a last guard; page code connects through it directly).
    void set_dispatcher(g_dispatcher* dispatcher) noexcept { m_dispatcher = dispatcher; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    g_dispatcher* m_dispatcher = nullptr;
};
