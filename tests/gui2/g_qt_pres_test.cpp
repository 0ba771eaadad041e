// The program's own presenter on real Qt boxes and file dialogs: what the
// window manager gets to show, where the dialogs open, what they list.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "gui2/g_modal.h"
#include "gui2/g_qt_pres.h"
#include "gui2/g_shot.h"

namespace {

TEST(QtPresenter, a_box_is_as_wide_as_its_title_and_offers_no_minimise_or_maximise) {
    g_qt_presenter presenter;
    g_box box;
    box.caption = "Tessaline 1.0 Message";
    box.text = "Done.";
    box.icon = g_icon::information;
    int title_width = 0, box_width = 0;
    Qt::WindowFlags flags;
    when_shown<QMessageBox>([&](QMessageBox& mb) {
        title_width = mb.fontMetrics().horizontalAdvance(mb.windowTitle());
        box_width = mb.width();
        flags = mb.windowFlags();
        save_shot(mb, "box_message");
        mb.defaultButton()->click();
    });
    EXPECT_EQ(presenter.show_box(box), g_button::ok);
    EXPECT_GE(box_width, title_width + 100);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

class FileDialogTest : public ::testing::Test {
protected:
    FileDialogTest()
        : home(QDir::temp().filePath(QString("g_qt_pres_home_%1").arg(QCoreApplication::applicationPid()))) {
        QDir(home).removeRecursively();
        QDir().mkpath(home + "/profiles");
        old_home = qgetenv("HOME");
        qputenv("HOME", home.toUtf8());
        QFile f(home + "/profiles/nightly copy of the shop database.vek");
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(7250, 'x'));
    }
    ~FileDialogTest() override {
        qputenv("HOME", old_home);
        QDir(home).removeRecursively();
    }
    g_file_request request() const {
        g_file_request r;
        r.title = "Select Profile File";
        r.filters = {{"Profile Files", "*.vek"}, {"All Files", "*"}};
        return r;
    }

    QString home;
    QByteArray old_home;
    g_qt_presenter presenter;
};

TEST_F(FileDialogTest, opens_at_home_then_in_the_folder_of_the_last_profile_with_readable_columns) {
    QString opened_in, filter;
    std::vector<std::pair<int, int>> columns;  // shown width, width its contents need
    when_shown<QFileDialog>([&](QFileDialog& d) {
        opened_in = d.directory().absolutePath();
        filter = d.selectedNameFilter();
        d.setDirectory(home + "/profiles");
        auto* tree = d.findChild<QTreeView*>("treeView");
        // The dialog reads the folder in the background: wait until the
        // profile's row is there with every shown column filled.
        const auto listed = [&] {
            if (!tree) return false;
            const QModelIndex row = tree->model()->index(0, 0, tree->rootIndex());
            if (row.data().toString() != "nightly copy of the shop database.vek") return false;
            for (int c = 1; c < tree->header()->count(); ++c)
                if (!tree->isColumnHidden(c) && row.siblingAtColumn(c).data().toString().isEmpty()) return false;
            return true;
        };
        EXPECT_TRUE(QTest::qWaitFor(listed, 10000)) << "the dialog did not list the profiles folder";
        if (tree)
            for (int c = 1; c < tree->header()->count(); ++c) {
                const QString text = tree->model()->index(0, c, tree->rootIndex()).data().toString();
                if (!tree->isColumnHidden(c) && !text.isEmpty())
                    columns.push_back({tree->header()->sectionSize(c), tree->fontMetrics().horizontalAdvance(text)});
            }
        save_shot(d, "dialog_open_profile");
        // As a user types the name and presses Enter.
        if (auto* name = d.findChild<QLineEdit*>("fileNameEdit"))
            name->setText("nightly copy of the shop database.vek");
        QMetaObject::invokeMethod(&d, "accept");
        if (d.isVisible()) d.reject();
    });
    const std::optional<QString> chosen = presenter.open_file(request());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, home + "/profiles/nightly copy of the shop database.vek");
    EXPECT_EQ(opened_in, QDir(home).absolutePath());
    EXPECT_EQ(filter, "Profile Files (*.vek)");
    ASSERT_FALSE(columns.empty());
    for (const auto& [shown, needed] : columns) EXPECT_GE(shown, needed);

    when_shown<QFileDialog>([&](QFileDialog& d) {
        opened_in = d.directory().absolutePath();
        d.reject();
    });
    EXPECT_FALSE(presenter.save_file(request()));
    EXPECT_EQ(opened_in, QDir(home + "/profiles").absolutePath());
}

}  // namespace
