#pragma once
// "Write Avi" in the window, for the length of one write, which runs on a thread of its own: the window
// keeps painting and recording, but takes no input but Cancel: what the user types or clicks into it is
// dropped, never left to act once the write is over. A progress dialog in Qt's manner (it appears once the
// write looks like taking a second or more) says which frame is written and about how long is left, and
// offers Cancel. It is not modal: a modal one would turn the event loop from inside its updates, and the
// window's input is dropped anyway.

#include <QElapsedTimer>
#include <QObject>
#include <cstdint>
#include <memory>

#include "core/message_sink.h"

class QProgressDialog;
class QWidget;

namespace skorva {

class WriteProgress final : public QObject, private MessageSink {
    Q_OBJECT
  public:
    // From now on the window's input is dropped; `messages` is where the writer's messages go.
    WriteProgress(QWidget& window, MessageSink& messages);
    ~WriteProgress() override;

    // The writer is at frame `index` of `count`: now and then the dialog is brought up to date.
    void writingFrame(std::int32_t index, std::int32_t count);
    // The window was asked to close: the write stops after the frame at hand, and the window is to close
    // once the movie is finished.
    void requestClose();
    bool closeRequested() const { return closeRequested_; }
    // The writer's messages, on the window's thread. Each one ends the frame loop, so the dialog goes
    // before it is shown.
    MessageSink& messages() { return *this; }
    // The write is over: the dialog goes.
    void finish();

  signals:
    // Cancel was pressed, or the window was asked to close: the write is to stop after the frame at hand.
    void stopAsked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show(const Message& message) override;
    void updateDialog(std::int32_t index, std::int32_t count);
    bool aimsAtWindow(QObject* receiver) const;

    QWidget& window_;
    MessageSink& messages_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer sinceFirstFrame_;
    QElapsedTimer sinceDialogUpdate_;
    bool closeRequested_ = false;
};

}  // namespace skorva
