#pragma once
// Drives modal dialogs from inside their own event loop: the action runs once the dialog has become
// the active modal widget.

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <utility>

namespace skorva::testing {

// What the dialog's accept button does (QFileDialog hides accept() from outside).
inline void acceptDialog(QDialog& dialog) {
    dialog.accept();
}

// Types a name into a file dialog's name box, as a user would; the dialog's accept reads it from there.
inline bool typeFileName(QFileDialog& dialog, const QString& name) {
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (edit == nullptr) {
        return false;
    }
    edit->setText(name);
    return true;
}

// Runs `act` on the next modal dialog of type Dialog. Gives up after about ten seconds, so that a
// dialog that never opens fails the test's checks instead of hanging it.
template <typename Dialog>
void onNextModal(std::function<void(Dialog&)> act, int triesLeft = 1000) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            act(*dialog);
            // Every action ends the dialog; one left open would hang the test.
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog->reject();
            }
        } else if (triesLeft > 0) {
            onNextModal<Dialog>(std::move(act), triesLeft - 1);
        }
    });
}

// While `owner` lives, answers every message box that opens over it with `answer`, and records its text.
inline void answerBoxesOver(QPointer<QWidget> owner, QMessageBox::StandardButton answer, QStringList* seen) {
    QTimer::singleShot(10, [owner, answer, seen]() {
        if (owner.isNull()) {
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->parentWidget() == owner) {
            seen->append(box->text());
            if (auto* button = box->button(answer)) {
                button->click();
            } else {
                box->reject();
            }
        }
        answerBoxesOver(owner, answer, seen);
    });
}

}  // namespace skorva::testing
