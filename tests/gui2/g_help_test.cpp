// The help window shows the program's HTML topics and goes between them.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>

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

    g_help_window help;
    help.show_topic(dir + "/1017.html");
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.windowTitle(), "Connect to MySQL server");
    EXPECT_EQ(QFileInfo(help.current_file()).fileName(), "1017.html");
    for (QPushButton* b : help.findChildren<QPushButton*>())
        if (b->text() == "&Contents") b->click();
    EXPECT_EQ(QFileInfo(help.current_file()).fileName(), "index.html");
    EXPECT_EQ(help.windowTitle(), "Contents");
    QDir(dir).removeRecursively();
}

}  // namespace
