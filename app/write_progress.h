#pragma once
// "Write Avi" in the window, for the length of one write. The write runs on the user-interface thread and
// lets the event loop turn between frames, so that the window keeps painting; meanwhile the window takes no
// input but Cancel: what the user types or clicks into it is dropped, never left to act once the write is
// over. A progress dialog in Qt's manner (it appears once the write looks like taking a second or more)
// says which frame is written and about how long is left, and offers Cancel.

#include <QElapsedTimer>
#include <QObject>
#include <chrono>
#include <cstdint>
#include <memory>

#include "core/message_sink.h"

class QProgressDialog;
class QWidget;

namespace skorva {

class WriteProgress final : public QObject, private MessageSink {
    Q_OBJECT
  public:
    // A turn of the event loop after every frame costs the smallest movies about 5 % of the user-interface
    // thread's time, so the write takes one only when this long has passed since the last: the window is
    // late by no more than that and one frame.
    static constexpr std::chrono::milliseconds kTurnEvery{15};

    // From now on the window's input is dropped; `messages` is where the writer's messages go. The event
    // loop runs at most every `turnEvery` (0: after every frame).
    WriteProgress(QWidget& window, MessageSink& messages, std::chrono::milliseconds turnEvery = kTurnEvery);
    ~WriteProgress() override;

    // The writer is about to convert frame `index` of `count`: now and then the dialog is brought up to
    // date and the event loop runs.
    void writingFrame(std::int32_t index, std::int32_t count);
    // The movie took a sample (the encoder's last frames at the close among them): the event loop runs if
    // its time has come, and the dialog stays as it is.
    void sampleWritten();
    // A long step of the write is done; before the first frame too: the event loop runs if its time has
    // come.
    void stepDone();
    // Cancel was pressed, or the window was asked to close.
    bool stopRequested() const;
    // The window was asked to close: the write stops after the frame at hand, and the window is to close
    // once the movie is finished.
    void requestClose() { closeRequested_ = true; }
    bool closeRequested() const { return closeRequested_; }
    // The writer's messages. Each one ends the frame loop, so the dialog goes before it is shown.
    MessageSink& messages() { return *this; }
    // Drops the input that came in since the last turn; call once the writer has returned.
    void finish();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show(const Message& message) override;
    void updateDialog(std::int32_t index, std::int32_t count);
    // The event loop's next turn is due: turnEvery has passed since the last.
    bool turnDue() const;
    void turn();
    void closeDialog();
    bool aimsAtWindow(QObject* receiver) const;

    QWidget& window_;
    MessageSink& messages_;
    std::unique_ptr<QProgressDialog> dialog_;
    const std::chrono::milliseconds turnEvery_;
    QElapsedTimer sinceFirstFrame_;
    QElapsedTimer sinceTurn_;
    QElapsedTimer sinceDialogUpdate_;
    bool closeRequested_ = false;
    bool cancelled_ = false;  // Cancel was pressed before the dialog went
};

}  // namespace skorva
