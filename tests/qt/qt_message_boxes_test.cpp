#include "platform/qt/qt_message_boxes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "tests/qt/modal_driver.h"

namespace skorva {
namespace {

using testing::onNextModal;

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
};

SeenBox showAndClose(const std::string& text, MessageIcon icon) {
    SeenBox seen;
    onNextModal<QMessageBox>([&seen](QMessageBox& box) {
        seen = {box.windowTitle(), box.text(), box.icon(), box.standardButtons(), box.parentWidget()};
        if (auto* ok = box.button(QMessageBox::Ok)) {
            ok->click();
        } else {
            box.reject();
        }
    });
    QtMessageBoxes boxes;
    boxes.show(text, icon);
    return seen;
}

TEST(QtMessageBoxes, CaptionTextIconAndOneOkButton) {
    const SeenBox plain = showAndClose("No webcam window selected", MessageIcon::None);
    EXPECT_EQ(plain.title, "Skorva webcam capture");
    EXPECT_EQ(plain.text, "No webcam window selected");
    EXPECT_EQ(plain.icon, QMessageBox::NoIcon);
    EXPECT_EQ(plain.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    EXPECT_EQ(showAndClose("i", MessageIcon::Information).icon, QMessageBox::Information);
    EXPECT_EQ(showAndClose("e", MessageIcon::Exclamation).icon, QMessageBox::Warning);
    const SeenBox critical = showAndClose("CaptureWindow9Bad file name \xc3\xa4", MessageIcon::Critical);
    EXPECT_EQ(critical.icon, QMessageBox::Critical);
    EXPECT_EQ(critical.text, QString::fromUtf8("CaptureWindow9Bad file name \xc3\xa4"));
}

TEST(QtMessageBoxes, ModalOverTheActiveWindow) {
    QWidget window;
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    if (QApplication::activeWindow() != &window) {
        GTEST_SKIP() << "the platform plugin does not activate windows";
    }
    EXPECT_EQ(showAndClose("text", MessageIcon::None).parent, &window);
}

}  // namespace
}  // namespace skorva
