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

TEST(HelpWindow, goes_beside_the_wizard_and_stays_whole_on_the_screen) {
    const QRect screen(0, 0, 1280, 1024);
    const struct {
        QRect owner;
        QSize size;
        QPoint at;
    } cases[] = {
        {{100, 100, 600, 440}, {400, 500}, {700, 100}},  // room on the right
        {{600, 100, 600, 440}, {400, 500}, {200, 100}},  // room on the left only
        {{200, 100, 900, 440}, {400, 500}, {880, 100}},  // no room beside: against the right edge
        {{100, 700, 600, 300}, {400, 500}, {700, 524}},  // lifted so that the bottom shows
        {{0, 0, 1280, 1024}, {1400, 1100}, {0, 0}},      // larger than the screen: from its corner
    };
    for (const auto& c : cases) EXPECT_EQ(g_place_beside(c.owner, c.size, screen), c.at) << c.owner.x();
}

}  // namespace
