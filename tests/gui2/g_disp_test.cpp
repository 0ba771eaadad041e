// No exception of page code reaches Qt: each goes to the error handler or the
// error box.
#include <QEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "converter/err_hand.h"
#include "converter/err_map.h"
#include "converter/fake_dlg.h"
#include "gui2/g_app.h"
#include "gui2/g_fixture.h"
#include "tk/tk_exc.h"

namespace {

// A page whose button raises what the test gives it.
class throwing_page : public probe_page {
public:
    throwing_page(wizard_shell& shell, std::vector<std::string>& log, std::function<void()> raise)
        : probe_page(shell, probe_shape{1}, log), m_raise(std::move(raise)) {
        (new QVBoxLayout(this))->addWidget(add_control(100, new QPushButton("go", this)));
        on_click(100, [this] { m_raise(); });
    }
    void press() { controls().as<QPushButton>(100).click(); }

private:
    std::function<void()> m_raise;
};

class DispatchTest : public ShellTest {
protected:
    DispatchTest() : handler(pgs_error_map) {
        handler.load_err_map(mysql_error_map);
        handler.set_dialogs(&dialogs);
        gui.dispatcher.set_error_handler(&handler);
    }
    ~DispatchTest() override { gui.dispatcher.set_error_handler(nullptr); }

    throwing_page& page_raising(std::function<void()> raise) {
        make_shell();
        auto& p = shell->emplace_page<throwing_page>(log, std::move(raise));
        shell->open();
        return p;
    }

    scripted_dialogs dialogs;
    error_handler handler;
};

TEST_F(DispatchTest, a_toolkit_exception_goes_to_the_error_handler) {
    page_raising([] { throw coded_exception(0x400000 + 2003, "raw", 1); }).press();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0], "error: Can't connect to the MySQL server. Check to verify that MySQL server "
                                "is launched and the correct host/port values were given.");
    EXPECT_TRUE(gui.presenter.boxes.empty());
}

TEST_F(DispatchTest, any_other_exception_shows_its_text_in_the_error_box) {
    page_raising([] { throw std::runtime_error("disk full"); }).press();
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].text, "disk full");
    EXPECT_EQ(gui.presenter.boxes[0].caption, "Tessaline 1.0 Error");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DispatchTest, an_ended_run_and_an_unknown_throw_are_handled_too) {
    auto& p = page_raising([] { throw tk_final_exception(); });
    p.press();
    EXPECT_TRUE(gui.presenter.boxes.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    auto& q = shell->emplace_page<throwing_page>(log, [] { throw 42; });
    q.press();
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].text, "Unknown error");
}

TEST_F(DispatchTest, an_exception_in_the_page_protocol_keeps_the_page) {
    class failing_next : public probe_page {
    public:
        using probe_page::probe_page;
        int on_next() override { throw std::runtime_error("cannot go on"); }
    };
    make_shell();
    shell->emplace_page<failing_next>(probe_shape{1}, log);
    shell->emplace_page<probe_page>(probe_shape{2}, log);
    shell->open();
    shell->press_next();
    EXPECT_EQ(shell->current_index(), 0);
    ASSERT_EQ(gui.presenter.boxes.size(), 1u);
    EXPECT_EQ(gui.presenter.boxes[0].text, "cannot go on");
}

TEST(Application, an_exception_from_an_event_handler_does_not_escape_qt) {
    class throwing_object : public QObject {
    public:
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User) throw std::runtime_error("from an event");
            return QObject::event(e);
        }
    };
    std::vector<std::string> shown;
    g_dispatcher dispatcher([&](const std::string& text) { shown.push_back(text); }, nullptr);
    auto* app = static_cast<g_application*>(QCoreApplication::instance());
    app->set_dispatcher(&dispatcher);
    throwing_object target;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    app->set_dispatcher(nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"from an event"});
}

}  // namespace
