// "Write Avi" in the main window: the movie is written on a thread of its own while the window paints,
// drops what the user types or clicks into it and goes on recording the pictures it grabs; Cancel, a close
// of the window or a failure on the writing thread ends the write with a playable movie of the frames so far.

#include <gmock/gmock.h>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QWindow>
#include <atomic>
#include <functional>
#include <future>
#include <new>
#include <string>

#include "tests/app/form1_fixture.h"
#include "tests/fakes/shell.h"
#include "tests/movie/movie_test_support.h"

namespace skorva::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

constexpr int kFrames = 12;

// Counts the paints a widget receives.
class PaintCount final : public QObject {
  public:
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int paints = 0;
};

void sendClick(QWidget* button) {
    const QPointF centre = QRectF(button->rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
}

// Input as the window system queues it.
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
        form->show();
        // The window's first paint is behind it before the write begins.
        while (!form->windowHandle()->isExposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QCoreApplication::processEvents();
    }

    // Holds the write before frame `index` while `onWindow` runs on the window's thread.
    void holdBefore(std::int32_t index, std::function<void()> onWindow) {
        form->beforeWritingFrame = [this, index, onWindow = std::move(onWindow)](std::int32_t at) {
            if (at == index) {
                QMetaObject::invokeMethod(form.get(), onWindow, Qt::BlockingQueuedConnection);
            }
        };
    }

    // Clicks "Write Avi" and runs the event loop until the write is over.
    void writeAvi() {
        QEventLoop loop;
        QObject::connect(form.get(), &Form1::writeEnded, &loop, &QEventLoop::quit);
        form->aviwrite->click();
        if (form->writing()) {
            loop.exec();
        }
    }

    std::string movie;
};

TEST_F(WriteAviTest, TheWindowPaintsDropsItsInputAndCancelLeavesAPlayableMovieOfTheFramesSoFar) {
    ScriptedUser user(movie, 0);
    PaintCount label(form->Label2);
    bool paintedWhileHeld = false;
    QString progress;
    holdBefore(2, [&] {
        // The write is held before frame 2: the window paints meanwhile...
        const int before = label.paints;
        form->Label2->update();
        while (label.paints == before) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        paintedWhileHeld = form->writing();
        // ...drops "77" typed into the frame rate and a click on "Write Avi"...
        postKey(form->txtFPS, Qt::Key_7, QStringLiteral("7"));
        postKey(form->txtFPS, Qt::Key_7, QStringLiteral("7"));
        postClick(form->aviwrite);
        QCoreApplication::processEvents();
        // ...and a second has passed, say: the dialog is up, and the user presses its Cancel.
        auto* dialog = form->findChild<QProgressDialog*>();
        ASSERT_NE(dialog, nullptr);
        dialog->show();
        progress = dialog->labelText();
        sendClick(dialog->findChild<QPushButton*>());
    });
    writeAvi();

    EXPECT_TRUE(paintedWhileHeld);
    EXPECT_THAT(progress.toStdString(), MatchesRegex("Writing frame [12] of 12.*"));
    // Cancel came before frame 2: the movie ends after frame 1.
    EXPECT_THAT(messages.texts(),
                ElementsAre("Writing was cancelled: the movie holds the first 2 of 12 frames.\r\n" + movie));
    EXPECT_EQ(framesCounted(movie), "2\n");
    EXPECT_EQ(decodingErrors(movie), "");
    EXPECT_EQ(user.dialogs.calls.size(), 1u) << "a click during the write started another";
    EXPECT_EQ(form->findChild<QProgressDialog*>(), nullptr);
    // The preview and the list end on the last frame written.
    EXPECT_EQ(form->Image1->picture().width(), 64);
    EXPECT_EQ(form->File1->fileName(), "f101.jpg");

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
    holdBefore(3, [&] {
        closedAtOnce = form->close();
        visibleAfterClose = form->isVisible();
    });
    writeAvi();

    EXPECT_FALSE(closedAtOnce);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_THAT(messages.texts(),
                ElementsAre("Writing was cancelled: the movie holds the first 3 of 12 frames.\r\n" + movie));
    EXPECT_EQ(framesCounted(movie), "3\n");
    EXPECT_EQ(decodingErrors(movie), "");
    EXPECT_FALSE(form->isVisible()) << "the window did not close once the movie was finished";
}

TEST_F(WriteAviTest, AWindowThatGoesDuringAWriteFinishesTheMovieFirstAndLogsWhatItWouldHaveSaid) {
    // As when the program is asked to end (SIGTERM): the window is closed, the event loop ends and the
    // window goes while the movie is being written.
    ScriptedUser user(movie, 0);
    std::atomic<bool> reached{false};
    std::promise<void> released;
    form->beforeWritingFrame = [this, &reached, wait = released.get_future().share()](std::int32_t index) {
        if (index == 3) {
            reached = true;
            // Wakes the window's event loop, which is waiting for this.
            QMetaObject::invokeMethod(
                form.get(), [] {}, Qt::QueuedConnection);
            wait.wait();
        }
    };
    form->aviwrite->click();
    // The dialogs run on the window's thread, so its event loop turns until the write is held.
    while (!reached) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    form->close();
    ::testing::internal::CaptureStderr();
    released.set_value();
    form.reset();
    const std::string logged = ::testing::internal::GetCapturedStderr();

    EXPECT_TRUE(messages.messages.empty()) << "a box nobody may be there to close";
    EXPECT_NE(logged.find("Writing was cancelled: the movie holds the first 3 of 12 frames. " + movie),
              std::string::npos)
        << logged;
    EXPECT_EQ(framesCounted(movie), "3\n");
}

TEST_F(WriteAviTest, ARecordingDuringAWriteStoresThePicturesItGrabbedWhileThePreviewShowsTheMovie) {
    desktop.add("Webcam for bob", Rect{100, 100, 500, 450});
    form->Command1_Click();
    select(0);
    form->Start_Click();
    const std::filesystem::path recorded = output / form->recording.recordingFolder;
    ScriptedUser user(movie, fourcc("H264"));
    int previewWidth = 0;
    holdBefore(1, [&] {
        // Two seconds of the recording pass between two frames of the movie.
        form->Timer1_Timer();
        form->Timer1_Timer();
        previewWidth = form->Image1->picture().width();
    });
    writeAvi();

    EXPECT_EQ(previewWidth, 64) << "the preview shows the movie's frames during the write";
    EXPECT_TRUE(messages.messages.empty()) << messages.texts()[0];
    EXPECT_EQ(framesCounted(movie), "12\n");
    for (const char* name : {"bob0000000.jpg", "bob0000001.jpg"}) {
        expectGrabOfScreen(recorded / name, 350, 180, 125, 150);
    }
    EXPECT_EQ(form->recording.frameCounter, 2);
}

TEST_F(WriteAviTest, AFailureOnTheWritingThreadIsToldAndTheMovieOfTheFramesSoFarIsFinished) {
    ScriptedUser user(movie, fourcc("MJPG"));
    form->beforeWritingFrame = [](std::int32_t index) {
        if (index == 4) {
            throw std::bad_alloc();
        }
    };
    writeAvi();

    EXPECT_THAT(
        messages.texts(),
        ElementsAre("Not enough memory to go on writing the movie.",
                    "There was an error writing the file.\r\nThe movie holds the first 4 of 12 frames:"
                    "\r\n" +
                        movie));
    EXPECT_EQ(framesCounted(movie), "4\n");
    EXPECT_EQ(decodingErrors(movie), "");
    EXPECT_FALSE(form->writing());
}

}  // namespace
}  // namespace skorva::testing
