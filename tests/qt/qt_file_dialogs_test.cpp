#include "platform/qt/qt_file_dialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>
#include <fstream>

#include "tests/qt/modal_driver.h"

namespace skorva {
namespace {

using namespace std::string_literals;
using testing::acceptDialog;
using testing::answerBoxesOver;
using testing::onNextModal;
using testing::typeFileName;

std::string text(const QString& s) {
    return s.toStdString();
}

// What the dialog showed when it opened.
struct Seen {
    QString title;
    QStringList nameFilters;
    QString selectedNameFilter;
    QString defaultSuffix;
    QString directory;
    QStringList proposed;
    bool dontConfirmOverwrite = false;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QWidget* parent = nullptr;
};

Seen look(QFileDialog& dialog) {
    return {dialog.windowTitle(),
            dialog.nameFilters(),
            dialog.selectedNameFilter(),
            dialog.defaultSuffix(),
            dialog.directory().absolutePath(),
            dialog.selectedFiles(),
            dialog.testOption(QFileDialog::DontConfirmOverwrite),
            dialog.fileMode(),
            dialog.acceptMode(),
            dialog.parentWidget()};
}

OpenFileName movieRequest(const QTemporaryDir& dir) {
    OpenFileName record;
    record.filter = "AVI Files\0*.avi\0All files\0*.*\0\0"s;
    record.file = "MyAVI.avi" + std::string(1015, '\0');
    record.fileTitle = std::string(512, '\0');
    record.initialDir = text(dir.path());
    record.title = "Choose a filename to save AVI to...";
    record.flags = ofn::kOverwritePrompt | ofn::kHideReadOnly;
    record.defExt = "avi";
    return record;
}

void touch(const QString& path) {
    std::ofstream(path.toStdString()) << "x";
}

TEST(QtFileDialogs, NameFilters) {
    EXPECT_EQ(qtNameFilters("AVI Files\0*.avi\0\0"s), QStringList{"AVI Files (*.avi)"});
    EXPECT_EQ(qtNameFilters("Pictures\0*.bmp; *.jpg;\0All\0*.*\0\0"s),
              (QStringList{"Pictures (*.bmp *.jpg)", "All (*.*)"}));
    // A pair kept from an earlier dialog has no closing NULs; a missing pattern shows every file.
    EXPECT_EQ(qtNameFilters("AVI Files\0*.avi"s), QStringList{"AVI Files (*.avi)"});
    EXPECT_EQ(qtNameFilters("Odd\0\0"s), QStringList{"Odd (*)"});
    EXPECT_EQ(qtNameFilters("\0\0"s), QStringList{});
    EXPECT_EQ(qtNameFilters(""), QStringList{});
    EXPECT_EQ(qtNameFilters("A\0*.a\0\0B\0*.b\0\0"s), QStringList{"A (*.a)"});
}

TEST(QtFileDialogs, SaveAddsTheDefaultExtensionAndReturnsTheChosenFilter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtFileDialogs dialogs;
    OpenFileName record = movieRequest(dir);
    Seen seen;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        seen = look(dialog);
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("party")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(dialogs.run(FileDialogKind::Save, record));
    EXPECT_EQ(seen.title, "Choose a filename to save AVI to...");
    EXPECT_EQ(seen.nameFilters, (QStringList{"AVI Files (*.avi)", "All files (*.*)"}));
    EXPECT_EQ(seen.selectedNameFilter, "AVI Files (*.avi)");  // index 0: the first pair
    EXPECT_EQ(seen.defaultSuffix, "avi");
    EXPECT_EQ(seen.directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(seen.proposed, QStringList{dir.filePath("MyAVI.avi")});
    EXPECT_FALSE(seen.dontConfirmOverwrite);
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(seen.parent, nullptr);

    EXPECT_EQ(record.file, text(dir.filePath("party.avi")));
    EXPECT_EQ(record.fileTitle, "party.avi");
    EXPECT_EQ(record.filterIndex, 1);
    EXPECT_EQ(record.flags, ofn::kOverwritePrompt | ofn::kHideReadOnly);

    // The second pair preselected and kept; a name with an extension keeps it.
    record = movieRequest(dir);
    record.filterIndex = 2;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        seen = look(dialog);
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("notes.txt")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(dialogs.run(FileDialogKind::Save, record));
    EXPECT_EQ(seen.selectedNameFilter, "All files (*.*)");
    EXPECT_EQ(record.file, text(dir.filePath("notes.txt")));
    EXPECT_EQ(record.filterIndex, 2);

    // Another file type chosen: a name typed without an extension gets that type's, as the system's save
    // dialog does.
    record = movieRequest(dir);
    record.filter = "AVI Files\0*.avi\0MP4 Files\0*.mp4\0\0"s;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);
        emit types->activated(1);
        emit types->textActivated(types->currentText());
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("clip")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(dialogs.run(FileDialogKind::Save, record));
    EXPECT_EQ(record.file, text(dir.filePath("clip.mp4")));
    EXPECT_EQ(record.filterIndex, 2);
}

TEST(QtFileDialogs, OverwriteQuestionOnlyWhenAsked) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    touch(dir.filePath("old.avi"));
    QtFileDialogs dialogs;

    for (const bool prompt : {true, false}) {
        OpenFileName record = movieRequest(dir);
        if (!prompt) {
            record.flags = ofn::kHideReadOnly;
        }
        QStringList questions;
        bool dontConfirm = !prompt;
        onNextModal<QFileDialog>([&](QFileDialog& dialog) {
            dontConfirm = dialog.testOption(QFileDialog::DontConfirmOverwrite);
            answerBoxesOver(&dialog, QMessageBox::Yes, &questions);
            ASSERT_TRUE(typeFileName(dialog, QStringLiteral("old.avi")));
            acceptDialog(dialog);
        });
        ASSERT_TRUE(dialogs.run(FileDialogKind::Save, record)) << prompt;
        EXPECT_EQ(record.file, text(dir.filePath("old.avi")));
        EXPECT_EQ(dontConfirm, !prompt);
        EXPECT_EQ(questions.size(), prompt ? 1 : 0) << text(questions.join('\n'));
        if (prompt && !questions.empty()) {
            EXPECT_TRUE(questions.first().contains("old.avi"));
        }
    }

    // Saying No to the question keeps the dialog open; the user then cancels.
    OpenFileName record = movieRequest(dir);
    QStringList questions;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        answerBoxesOver(&dialog, QMessageBox::No, &questions);
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("old.avi")));
        acceptDialog(dialog);
        EXPECT_TRUE(dialog.isVisible());
        dialog.reject();
    });
    EXPECT_FALSE(dialogs.run(FileDialogKind::Save, record));
    EXPECT_EQ(questions.size(), 1);
}

TEST(QtFileDialogs, CancelLeavesTheRequestAsItWas) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtFileDialogs dialogs;
    const OpenFileName before = movieRequest(dir);
    OpenFileName record = before;
    onNextModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(dialogs.run(FileDialogKind::Save, record));
    EXPECT_EQ(record.file, before.file);
    EXPECT_EQ(record.fileTitle, before.fileTitle);
    EXPECT_EQ(record.filterIndex, before.filterIndex);
    EXPECT_EQ(record.flags, before.flags);
}

TEST(QtFileDialogs, OpenModesOwnerAndInitialFolderFromAFileName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir(QStringLiteral("frames"));
    const QString frames = dir.filePath(QStringLiteral("frames"));
    touch(frames + "/a.jpg");
    touch(frames + "/b.jpg");
    QWidget owner;
    QtFileDialogs dialogs;

    OpenFileName record;
    record.filter = "JPEG\0*.jpg\0\0"s;
    record.owner = static_cast<WindowHandle>(owner.winId());
    // An earlier dialog left a full file name as the initial folder.
    record.initialDir = text(frames + "/earlier.avi");
    record.flags = ofn::kFileMustExist | ofn::kHideReadOnly;
    Seen seen;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        seen = look(dialog);
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("a.jpg")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(dialogs.run(FileDialogKind::Open, record));
    EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen.directory, QDir(frames).absolutePath());
    EXPECT_EQ(seen.parent, &owner);
    EXPECT_EQ(record.file, text(frames + "/a.jpg"));
    EXPECT_EQ(record.fileTitle, "a.jpg");
    // The read-only box is never reported ticked.
    EXPECT_EQ(record.flags, ofn::kFileMustExist | ofn::kHideReadOnly);

    // Several files come back as the folder and the names, NUL-separated.
    record.flags = ofn::kFileMustExist | ofn::kAllowMultiSelect | ofn::kHideReadOnly;
    record.initialDir = text(frames);
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        seen = look(dialog);
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("\"a.jpg\" \"b.jpg\"")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(dialogs.run(FileDialogKind::Open, record));
    EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFiles);
    EXPECT_EQ(record.file, text(QDir(frames).absolutePath()) + "\0a.jpg\0b.jpg\0\0"s);
    EXPECT_EQ(record.fileTitle, "");

    // Without FILEMUSTEXIST any name may be typed.
    record.flags = ofn::kHideReadOnly;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        seen = look(dialog);
        ASSERT_TRUE(typeFileName(dialog, QStringLiteral("new.jpg")));
        acceptDialog(dialog);
    });
    ASSERT_TRUE(dialogs.run(FileDialogKind::Open, record));
    EXPECT_EQ(seen.fileMode, QFileDialog::AnyFile);
    EXPECT_EQ(record.file, text(frames + "/new.jpg"));
}

TEST(QtFileDialogs, PreviewShowsThePictureUnderTheCursor) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(400, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString jpeg = dir.filePath(QStringLiteral("frame.jpg"));
    ASSERT_TRUE(picture.save(jpeg, "JPG"));
    touch(dir.filePath(QStringLiteral("notes.txt")));

    QtFileDialogs dialogs;
    OpenFileName record;
    record.initialDir = text(dir.path());
    record.flags = ofn::kFileMustExist | ofn::kHideReadOnly;
    QSize shown;
    QRgb centre = 0;
    bool clearedForText = false;
    bool labelInPlainOpen = true;
    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        auto* preview = dialog.findChild<QLabel*>(QStringLiteral("skorvaPreview"));
        if (preview == nullptr) {
            ADD_FAILURE() << "no preview";
            dialog.reject();
            return;
        }
        emit dialog.currentChanged(jpeg);
        shown = preview->pixmap().size();
        const QImage image = preview->pixmap().toImage();
        centre = image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
        emit dialog.currentChanged(dir.filePath(QStringLiteral("notes.txt")));
        clearedForText = preview->pixmap().isNull();
        dialog.reject();
    });
    EXPECT_FALSE(dialogs.run(FileDialogKind::OpenPreview, record));
    // Scaled to fit beside the list, proportions kept.
    EXPECT_EQ(shown, QSize(200, 50));
    EXPECT_GT(qRed(centre), 200);
    EXPECT_LT(qGreen(centre), 60);
    EXPECT_TRUE(clearedForText);

    onNextModal<QFileDialog>([&](QFileDialog& dialog) {
        labelInPlainOpen = dialog.findChild<QLabel*>(QStringLiteral("skorvaPreview")) != nullptr;
        dialog.reject();
    });
    EXPECT_FALSE(dialogs.run(FileDialogKind::Open, record));
    EXPECT_FALSE(labelInPlainOpen);
}

}  // namespace
}  // namespace skorva
