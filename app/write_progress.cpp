#include "app/write_progress.h"

#include <QApplication>
#include <QEvent>
#include <QProgressDialog>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <string>

#include "core/log.h"
#include "platform/message_box.h"
#include "platform/termination.h"

namespace skorva {
namespace {

// Qt's own convention: the dialog appears once the write has run this long, or sooner when it is
// plainly going to take longer.
constexpr int kShowAfterMs = 1000;
// The label is read by a person: five times a second is plenty. An update paints the dialog, about half
// a millisecond: for every frame it would cost more than a small frame's whole conversion.
constexpr qint64 kDialogUpdateMs = 200;

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

QString timeLeft(qint64 milliseconds) {
    const qint64 seconds = std::max<qint64>(1, (milliseconds + 999) / 1000);
    if (seconds < 60) {
        return QStringLiteral("about %1 s left").arg(seconds);
    }
    return QStringLiteral("about %1 min left").arg((seconds + 30) / 60);
}

// "Writing frame 12 of 300, about 20 s left": the time left is what the frames so far took, spread over
// the frames still to come.
QString progressText(std::int32_t index, std::int32_t count, qint64 elapsedMs) {
    QString text = QStringLiteral("Writing frame %1 of %2").arg(index + 1).arg(count);
    if (index > 0) {
        text += QStringLiteral(", ") + timeLeft(elapsedMs * (count - index) / index);
    }
    return text;
}

}  // namespace

WriteProgress::WriteProgress(QWidget& window, MessageSink& messages) : window_(window), messages_(messages) {
    qApp->installEventFilter(this);
}

WriteProgress::~WriteProgress() {
    qApp->removeEventFilter(this);
}

void WriteProgress::writingFrame(std::int32_t index, std::int32_t count) {
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(&window_);
        dialog_->setWindowTitle(
            QString::fromUtf8(kAppTitle.data(), static_cast<qsizetype>(kAppTitle.size())));
        dialog_->setWindowModality(Qt::NonModal);
        // The write ends the dialog itself: neither the last frame nor Cancel is to reset it.
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->setCancelButtonText(QStringLiteral("Cancel"));
        dialog_->setMinimumDuration(kShowAfterMs);
        dialog_->setRange(0, count);
        connect(dialog_.get(), &QProgressDialog::canceled, this, &WriteProgress::stopAsked);
        sinceFirstFrame_.start();
        updateDialog(index, count);
    } else if (sinceDialogUpdate_.elapsed() >= kDialogUpdateMs) {
        updateDialog(index, count);
    }
}

void WriteProgress::updateDialog(std::int32_t index, std::int32_t count) {
    dialog_->setLabelText(progressText(index, count, sinceFirstFrame_.elapsed()));
    dialog_->setValue(index);
    sinceDialogUpdate_.start();
}

void WriteProgress::requestClose() {
    closeRequested_ = true;
    emit stopAsked();
}

void WriteProgress::finish() {
    dialog_.reset();
}

void WriteProgress::show(const Message& message) {
    dialog_.reset();
    // A program asked to end does not wait on a box nobody may be there to close.
    if (terminationRequested()) {
        QString text = QString::fromStdString(message.text);
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        logLine("write", text.toStdString());
        return;
    }
    messages_.show(message);
}

bool WriteProgress::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event->type()) && aimsAtWindow(watched)) {
        // An accepted override keeps a shortcut from firing on the key.
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The window itself or a control on it; the dialogs and boxes over it are windows of their own.
bool WriteProgress::aimsAtWindow(QObject* receiver) const {
    if (receiver->isWidgetType()) {
        return static_cast<QWidget*>(receiver)->window() == &window_;
    }
    return receiver->isWindowType() && receiver == window_.windowHandle();
}

}  // namespace skorva
