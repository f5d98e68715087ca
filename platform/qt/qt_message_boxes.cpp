#include "platform/qt/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace skorva {
namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessageBoxes::show(const std::string& text, MessageIcon icon) {
    QMessageBox box(qtIcon(icon),
                    QString::fromUtf8(kAppTitle.data(), static_cast<qsizetype>(kAppTitle.size())),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    // The recording keeps the viewer window on top: a box below it would go unseen.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

}  // namespace skorva
