#include "platform/qt/qt_folder_browser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QWidget>

#include "tests/qt/modal_driver.h"

namespace skorva {
namespace {

using testing::acceptDialog;
using testing::answerBoxesOver;
using testing::onNextModal;
using testing::typeFileName;

TEST(QtFolderBrowser, ModalFolderDialogFromTheTopOfTheTree) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir(QStringLiteral("bob"));
    const QString bob = QDir(dir.filePath(QStringLiteral("bob"))).absolutePath();
    QWidget owner;
    QtFolderBrowser browser;

    QString title;
    QString start;
    bool dirsOnly = false;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QWidget* parent = nullptr;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        start = dialog.directory().absolutePath();
        dirsOnly = dialog.testOption(QFileDialog::ShowDirsOnly);
        mode = dialog.fileMode();
        parent = dialog.parentWidget();
        ASSERT_TRUE(typeFileName(dialog, bob + "/"));
        acceptDialog(dialog);
    });
    std::string chosen;
    ASSERT_TRUE(browser.browse(static_cast<WindowHandle>(owner.winId()), "Browse", "/", chosen));
    EXPECT_EQ(title, "Browse");
    EXPECT_EQ(start, "/");
    EXPECT_TRUE(dirsOnly);
    EXPECT_EQ(mode, QFileDialog::Directory);
    EXPECT_EQ(parent, &owner);
    // No closing slash on a folder, but the root keeps its own.
    EXPECT_EQ(chosen, bob.toStdString());

    onNextModal<QFileDialog>([](QFileDialog& dialog) {
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("/")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(browser.browse(0, "Browse", "/", chosen));
    EXPECT_EQ(chosen, "/");
}

TEST(QtFolderBrowser, CancelAndFoldersThatDoNotExist) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtFolderBrowser browser;
    std::string chosen = "untouched";
    onNextModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(browser.browse(0, "Browse", "/", chosen));
    EXPECT_EQ(chosen, "untouched");

    // A typed name that is no folder is refused with a warning; the dialog stays until cancelled.
    QStringList warnings;
    bool stayedOpen = false;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        answerBoxesOver(&dialog, QMessageBox::Ok, &warnings);
        ASSERT_TRUE(typeFileName(dialog, dir.filePath(QStringLiteral("missing"))));
        acceptDialog(dialog);
        stayedOpen = dialog.isVisible();
        dialog.reject();
    });
    EXPECT_FALSE(browser.browse(0, "Browse", "/", chosen));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_EQ(chosen, "untouched");
}

}  // namespace
}  // namespace skorva
