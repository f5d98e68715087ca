// "Write Avi" in the main window: the window paints during the write, drops what the user types or clicks
// into it, and Cancel or a close of the window ends the write with a playable movie of the frames so far.

#include <gmock/gmock.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "tests/app/form1_fixture.h"
#include "tests/fakes/shell.h"
#include "tests/movie/movie_test_support.h"

namespace skorva::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

constexpr int kFrames = 12;

// Calls `onFrame` with each frame's index as the writer shows that frame in the preview, and counts the
// paints of a caption of the window, with the frame shown when each came.
class FrameWatcher final : public QObject {
  public:
    FrameWatcher(Form1& form, std::function<void(int index)> onFrame)
        : form_(form), onFrame_(std::move(onFrame)) {
        form.Image1->installEventFilter(this);
        form.Label2->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        const int index = form_.File1->ListIndex();
        if (watched == form_.Label2) {
            labelPaintedAt.push_back(index);
        } else if (index != lastIndex_) {
            lastIndex_ = index;
            onFrame_(index);
        }
        return false;
    }
    std::vector<int> labelPaintedAt;

  private:
    Form1& form_;
    std::function<void(int)> onFrame_;
    int lastIndex_ = -1;
};

// Runs `action` where the write next lets the event loop run, as the user's own actions would.
void betweenFrames(QObject* context, std::function<void()> action) {
    QMetaObject::invokeMethod(context, std::move(action), Qt::QueuedConnection);
}

void sendClick(QWidget* button) {
    const QPointF centre = QRectF(button->rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
}

// Input as the window system queues it while the program is busy.
void postKey(QWidget* target, Qt::Key key, const QString& text) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}
void postClick(QWidget* button) {
    const QPointF centre = QRectF(button->rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            button, new QMouseEvent(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                    Qt::NoModifier));
    }
}

std::string framesCounted(const std::string& movie) {
    return runCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
        "-of csv=p=0 '" +
        movie + "'");
}
std::string decodingErrors(const std::string& movie) {
    return runCommand("ffmpeg -nostdin -v error -i '" + movie + "' -f null -");
}

class WriteAviTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        for (int i = 0; i < kFrames; ++i) {
            writeJpeg((output / ("f" + std::to_string(100 + i) + ".jpg")).string(), 64, 48, i);
        }
        movie = (output / "movie.avi").string();
        load();
        // The event loop turns after every frame, so that what the test does between two frames happens
        // there and nowhere else.
        form->writeTurnEvery = std::chrono::milliseconds(0);
        form->show();
        // The window's first paint is behind it before the write begins.
        while (!form->windowHandle()->isExposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QCoreApplication::processEvents();
    }
    std::string movie;
};

TEST_F(WriteAviTest, TheWindowPaintsDropsItsInputAndCancelLeavesAPlayableMovieOfTheFramesSoFar) {
    ScriptedUser user(movie, 0);
    QString label;
    Qt::WindowModality modality = Qt::NonModal;
    FrameWatcher watcher(*form, [&](int index) {
        if (index == 1) {
            // The caption needs painting now, and "77" is typed into the frame rate and "Write Avi" clicked
            // while the write runs.
            form->Label2->update();
            postKey(form->txtFPS, Qt::Key_7, QStringLiteral("7"));
            postKey(form->txtFPS, Qt::Key_7, QStringLiteral("7"));
            postClick(form->aviwrite);
        } else if (index == 4) {
            // A second has passed, say: the dialog is up, and the user presses its Cancel.
            betweenFrames(form.get(), [&] {
                auto* dialog = form->findChild<QProgressDialog*>();
                ASSERT_NE(dialog, nullptr);
                dialog->show();
                label = dialog->labelText();
                modality = dialog->windowModality();
                sendClick(dialog->findChild<QPushButton*>());
            });
        }
    });
    form->aviwrite->click();

    // Painted before the next frame was taken, not with it or after the write.
    EXPECT_THAT(watcher.labelPaintedAt, ElementsAre(1));
    EXPECT_THAT(label.toStdString(), MatchesRegex("Writing frame [0-9]+ of 12.*"));
    EXPECT_EQ(modality, Qt::WindowModal);
    // Frame 4 was being written when Cancel came: the movie ends after it.
    EXPECT_THAT(messages.texts(),
                ElementsAre("Writing was cancelled: the movie holds the first 5 of 12 frames.\r\n" + movie));
    EXPECT_EQ(framesCounted(movie), "5\n");
    EXPECT_EQ(decodingErrors(movie), "");
    EXPECT_EQ(user.dialogs.calls.size(), 1u) << "a click during the write started another";
    EXPECT_EQ(form->findChild<QProgressDialog*>(), nullptr);

    // What was typed during the write is gone; what is typed afterwards counts again.
    QCoreApplication::processEvents();
    EXPECT_EQ(form->txtFPS->text().toStdString(), "3");
    postKey(form->txtFPS, Qt::Key_7, QStringLiteral("7"));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->txtFPS->text().toStdString(), "37");
}

TEST_F(WriteAviTest, ClosingTheWindowDuringAWriteFinishesTheMovieFirstThenCloses) {
    ScriptedUser user(movie, 0);
    bool closedAtOnce = true;
    bool visibleAfterClose = false;
    FrameWatcher watcher(*form, [&](int index) {
        if (index == 3) {
            betweenFrames(form.get(), [&] {
                closedAtOnce = form->close();
                visibleAfterClose = form->isVisible();
            });
        }
    });
    form->aviwrite->click();

    EXPECT_FALSE(closedAtOnce);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_THAT(messages.texts(),
                ElementsAre("Writing was cancelled: the movie holds the first 4 of 12 frames.\r\n" + movie));
    EXPECT_EQ(framesCounted(movie), "4\n");
    EXPECT_EQ(decodingErrors(movie), "");
    EXPECT_FALSE(form->isVisible()) << "the window did not close once the movie was finished";
}

}  // namespace
}  // namespace skorva::testing
