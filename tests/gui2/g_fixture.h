#pragma once
// A shell on the scripted presenter, and probe pages whose answers a test
// chooses and whose calls it can read back.
#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui2/g_carry.h"
#include "gui2/g_disp.h"
#include "gui2/g_fake_pres.h"
#include "gui2/g_wiz_pg.h"
#include "gui2/g_wiz_sh.h"
#include "support/bounded_wait.h"

// Runs `work` on a worker thread while this (GUI) thread serves the carrier
// and the screen, until the work is done.
template <class F>
void on_worker(F work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    // QTRY_* would only return from this function on a timeout, failing no
    // test: the wait says so itself.
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000))
        << "the work on the worker thread did not end within 10 s";
    finish_within("the worker thread", [&] { worker.join(); });
}

struct probe_shape {
    int id;
    bool init = true;  // page_init
    int next = 0;      // on_next
    int back = 0;      // store_settings
    bool kill = true;  // on_kill_active
    unsigned buttons = wiz_back | wiz_next;
    bool has_help = true;
};

class probe_page : public wizard_page {
public:
    probe_page(wizard_shell& shell, probe_shape shape, std::vector<std::string>& log)
        : wizard_page(shell, style_for(shape)), m_shape(shape), m_log(log) {}

    bool page_init() override { return record("init", m_shape.init); }
    bool on_kill_active() override { return record("kill", m_shape.kill); }
    int on_next() override {
        record("next", true);
        return m_shape.next;
    }
    int store_settings() override {
        record("back", true);
        return m_shape.back;
    }
    void on_help() override { record("help", true); }
    void on_timer() override { ++ticks; }
    bool on_finish() override { return record("finish", finish_answer); }

    int ticks = 0;
    bool finish_answer = true;

private:
    static wizard_page_style style_for(const probe_shape& s) {
        wizard_page_style style;
        style.dialog_id = s.id;
        style.buttons = s.buttons;
        style.header_title = L"Step " + std::to_wstring(s.id);
        style.header_subtitle = L"Probe page";
        style.has_help = s.has_help;
        return style;
    }
    bool record(const char* what, bool answer) {
        m_log.push_back(what + std::string(" ") + std::to_string(m_shape.id));
        return answer;
    }

    probe_shape m_shape;
    std::vector<std::string>& m_log;
};

// The services a shell needs, with a dispatcher whose error box is the
// shell's (or a bare presenter box before there is one).
struct gui_services {
    fake_presenter presenter;
    g_carrier carrier;
    g_dispatcher dispatcher{nullptr, nullptr};

    gui_services() {
        dispatcher.set_error_box([this](const std::string& text) {
            if (wizard_shell* shell = wizard_shell::find()) return shell->error(text);
            presenter.show_box({nullptr, "Error", QString::fromStdString(text), g_icon::error});
        });
    }
    wizard_services services() { return {presenter, carrier, dispatcher}; }
};

class ShellTest : public ::testing::Test {
protected:
    gui_services gui;
    std::unique_ptr<wizard_shell> shell;
    std::vector<std::string> log;

    wizard_shell& make_shell(const std::vector<probe_shape>& pages = {}) {
        shell = std::make_unique<wizard_shell>(L"Tessaline 1.0", 0, 0, 0, gui.services());
        for (const probe_shape& p : pages) shell->emplace_page<probe_page>(p, log);
        return *shell;
    }
    probe_page& probe(int index) { return static_cast<probe_page&>(shell->page(index)); }
};
