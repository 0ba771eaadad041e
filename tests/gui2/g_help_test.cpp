// The help window shows the program's HTML topics and goes between them.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "gui2/g_help.h"
#include "gui2/g_shot.h"

namespace {

void write(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

TEST(HelpWindow, shows_a_topic_with_its_title_and_returns_to_the_contents) {
    const QString dir = QDir::temp().filePath(QString("g_help_win_%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(dir);
    write(dir + "/index.html",
          "<html><head><title>Contents</title></head><body><a href=\"1017.html\">MySQL</a></body></html>");
    write(dir + "/1017.html", "<html><head><title>Connect to MySQL server</title></head><body>text</body></html>");

    QWidget wizard;
    wizard.setWindowTitle("Tessaline 1.0");
    wizard.resize(500, 400);
    wizard.show();
    g_help_window help;
    help.show_topic(dir + "/1017.html", &wizard);
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.windowTitle(), "Tessaline 1.0 Help - Connect to MySQL server");
    // Whole on the screen, beside the wizard rather than over it.
    const QRect screen = wizard.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(help.frameGeometry())) << help.frameGeometry().x() << "," << help.frameGeometry().y();
    save_shot(help, "window_help");
    EXPECT_EQ(QFileInfo(help.current_file()).fileName(), "1017.html");
    for (QPushButton* b : help.findChildren<QPushButton*>())
        if (b->text() == "&Contents") b->click();
    EXPECT_EQ(QFileInfo(help.current_file()).fileName(), "index.html");
    EXPECT_EQ(help.windowTitle(), "Tessaline 1.0 Help - Contents");
    QTest::keyClick(&help, Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());
    QDir(dir).removeRecursively();
}

TEST(HelpWindow, goes_beside_the_wizard_narrower_or_over_it_but_never_over_its_buttons) {
    // Frames as a window manager draws them: the wizard of the walk, 845 by
    // 440 inside a frame of one pixel and a title of 20 (at 1024 by 768 Qt
    // opens it at two thirds of the screen's width); the help window's usual
    // 640 by 520 in the same frame; 360 the narrowest it is made.
    const QSize usual(642, 545);
    const int min_width = 360;
    const struct {
        const char* what;
        QRect screen;
        QRect wizard;
        QRect buttons;
        QRect at;
    } cases[] = {
        {"1600x1000: narrower on the right",
         {0, 0, 1600, 1000},
         {367, 220, 847, 465},
         {368, 635, 845, 45},
         {1214, 220, 386, 545}},
        {"1920x1080: narrower on the right",
         {0, 0, 1920, 1080},
         {536, 307, 847, 465},
         {537, 722, 845, 45},
         {1383, 307, 537, 545}},
        {"1024x768: over the wizard, above its buttons",
         {0, 0, 1024, 768},
         {160, 104, 684, 465},
         {161, 519, 682, 45},
         {382, 0, 642, 519}},
        {"room on the right", {0, 0, 1600, 1024}, {100, 100, 600, 440}, {101, 500, 598, 40}, {700, 100, 642, 545}},
        {"room on the left only", {0, 0, 1280, 1024}, {700, 100, 500, 440}, {701, 500, 498, 40}, {58, 100, 642, 545}},
        {"narrower on the left, the roomier side",
         {0, 0, 1280, 1024},
         {500, 100, 700, 440},
         {501, 500, 698, 40},
         {0, 100, 500, 545}},
        {"lifted so that the bottom shows",
         {0, 0, 1280, 1024},
         {100, 700, 500, 300},
         {101, 950, 498, 40},
         {600, 479, 642, 545}},
        {"over the wizard, level with its top",
         {0, 0, 1024, 1200},
         {160, 100, 684, 700},
         {161, 755, 682, 45},
         {382, 100, 642, 545}},
        {"over the wizard, lifted to end above its buttons",
         {0, 0, 1024, 768},
         {160, 300, 684, 465},
         {161, 715, 682, 45},
         {382, 170, 642, 545}},
        {"below the wizard dragged up, where there is more room",
         {0, 0, 1024, 768},
         {160, -200, 684, 465},
         {161, 215, 682, 45},
         {382, 265, 642, 503}},
        {"a second screen below a panel",
         {1600, 30, 1920, 1050},
         {2136, 330, 847, 465},
         {2137, 745, 845, 45},
         {2983, 330, 537, 545}},
        {"a wizard as large as the screen",
         {0, 0, 1280, 1024},
         {0, 0, 1280, 1024},
         {0, 980, 1280, 44},
         {638, 0, 642, 545}},
        {"a screen narrower than the usual width",
         {0, 0, 600, 800},
         {0, 100, 600, 465},
         {1, 520, 598, 45},
         {0, 0, 600, 520}},
        {"a screen too low for any room: the usual place at the edge",
         {0, 0, 1024, 200},
         {0, 0, 1024, 465},
         {0, 30, 1024, 45},
         {382, 0, 642, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect at = g_place_help(c.screen, c.wizard, c.buttons, usual, min_width);
        EXPECT_EQ(at, c.at) << at.x() << "," << at.y() << " " << at.width() << "x" << at.height();
        EXPECT_TRUE(c.screen.contains(at));
    }
}

}  // namespace
