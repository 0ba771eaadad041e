#include "gui2/g_app.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QProxyStyle>

#include "gui2/g_disp.h"
#include "tk/tk_log.h"

namespace {
const char* const failed_text = "Failed to initialize GUI library";

std::atomic<bool> g_starting{false};
QtMessageHandler g_previous_handler = nullptr;

[[noreturn]] void fail() {
    std::fprintf(stderr, "%s\n", failed_text);
    std::fflush(nullptr);
    std::_Exit(255);
}

// While the framework starts, a fatal message (no platform plugin could be
// started) ends the program our way instead of aborting.
void start_guard(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && g_starting.load()) fail();
    if (g_previous_handler)
        g_previous_handler(type, context, text);
    else if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool display_for(const std::string& platform) {
    // Platforms that need no display server.
    for (const char* p : {"offscreen", "minimal", "vnc", "eglfs", "linuxfb", "vkkhrdisplay"})
        if (platform.rfind(p, 0) == 0) return true;
    if (platform.rfind("xcb", 0) == 0) return !env("DISPLAY").empty();
    if (platform.rfind("wayland", 0) == 0) return !env("WAYLAND_DISPLAY").empty();
    return true;  // a platform we do not know: Qt decides
}
}  // namespace

bool g_display_available(int argc, char** argv) {
    std::string platform;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0) platform = argv[i + 1];
    if (platform.empty()) platform = env("QT_QPA_PLATFORM");
    if (platform.empty()) return !env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty();
    // "wayland;xcb": any of the list will do.
    std::size_t start = 0;
    while (start <= platform.size()) {
        const std::size_t end = platform.find(';', start);
        const std::string one = platform.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!one.empty() && display_for(one)) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

void init_common_controls(int argc, char** argv) {
    tk_trace(1, "init_common_controls");
    if (!g_display_available(argc, argv)) fail();
}

namespace {
int& arm_start_guard(int& argc) {
    g_starting = true;
    g_previous_handler = qInstallMessageHandler(start_guard);
    return argc;
}
}  // namespace

namespace {
// Dialog buttons carry their text alone, in message boxes as in our own
// dialogs, whatever the desktop's theme would add.
class plain_buttons_style : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};
}  // namespace

g_application::g_application(int& argc, char** argv) : QApplication(arm_start_guard(argc), argv) {
    g_starting = false;
    qInstallMessageHandler(g_previous_handler);
    setStyle(new plain_buttons_style);  // the application owns it
}

g_application::~g_application() = default;

bool g_application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    auto deliver = [&] { handled = QApplication::notify(receiver, event); };
    if (m_dispatcher) {
        m_dispatcher->run(deliver);
        return handled;
    }
    try {
        deliver();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Unknown error\n");
    }
    return handled;
}
