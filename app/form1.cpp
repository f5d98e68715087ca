#include "app/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/app_icons.h"
#include "app/locale_names.h"
#include "dialogs/special_folders.h"
#include "movie/avi_writer.h"
#include "platform/avi/avifile.h"
#include "platform/message_box.h"
#include "recording/discovery.h"

namespace skorva {
namespace {

// The layout is kept in twips as designed; 15 twips make one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 4920;
constexpr int kClientHeightTwips = 3255;

void placeTwips(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                         height / kTwipsPerPixel);
}

// Runs one step of the start-up under ignore-and-continue: a failing step does not stop the next.
template <typename Step>
void ignoringFailure(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

// The recording's messages as the platform's message boxes.
class MessageBoxSink final : public MessageSink {
  public:
    void show(const Message& message) override { MsgBox(message.text, message.icon); }
};

MessageSink& messageBoxes() {
    static MessageBoxSink sink;
    return sink;
}

}  // namespace

Form1::Form1(QWidget* parent) : Form1(messageBoxes(), parent) {}

Form1::Form1(MessageSink& messages, QWidget* parent)
    : QWidget(parent), recording(static_cast<RecordingView&>(*this), messages), messages_(messages) {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), static_cast<qsizetype>(kAppTitle.size())));
    setWindowIcon(appIcon());
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
    createControls();
    fitFont();
    setTabOrder();
    wireEvents();
    Form_Load();
}

Form1::~Form1() {
    // A movie being written is finished with the frames so far; its messages go to the log.
    writeJob_.reset();
    writeProgress_.reset();
    Form_Unload();
}

void Form1::createControls() {
    List1 = new QListWidget(this);
    placeTwips(List1, 75, 75, 1575, 1200);

    Image1 = new ImageBox(this);
    Image1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Image1->setLineWidth(1);
    placeTwips(Image1, 1800, 75, 1515, 1230);

    cbjpg = new QCheckBox(QStringLiteral("Save as JPG"), this);
    cbjpg->setChecked(true);
    placeTwips(cbjpg, 3600, 150, 1275, 195);

    cbbmp = new QCheckBox(QStringLiteral("Save as BMP"), this);
    placeTwips(cbbmp, 3600, 375, 1275, 195);

    Label2 = new QLabel(QStringLiteral("Frame Rate:"), this);
    placeTwips(Label2, 3600, 600, 900, 180);

    txtFPS = new QLineEdit(QStringLiteral("3"), this);
    placeTwips(txtFPS, 4500, 600, 300, 225);

    Label1 = new QLabel(QStringLiteral("Frame Count:"), this);
    placeTwips(Label1, 3600, 825, 1245, 180);

    Text1 = new QLineEdit(this);
    Text1->setEnabled(false);
    placeTwips(Text1, 3600, 1050, 1260, 255);

    Command1 = new QPushButton(QStringLiteral("Refresh List"), this);
    placeTwips(Command1, 45, 1350, 1590, 300);

    Start = new QPushButton(QStringLiteral("Start"), this);
    placeTwips(Start, 1800, 1350, 765, 300);

    btstop = new QPushButton(QStringLiteral("Stop"), this);
    placeTwips(btstop, 2550, 1350, 765, 300);

    // Receives every grabbed frame; never shown.
    Picture1 = new ImageBox(this);
    placeTwips(Picture1, 3825, 1350, 255, 255);
    Picture1->setVisible(false);

    Timer1 = new VbTimer(0, true, this);
    Timer2 = new VbTimer(2000, true, this);

    opendir = new QPushButton(this);
    opendir->setIcon(disketteIcon());
    opendir->setIconSize(QSize(16, 16));
    opendir->setToolTip(QStringLiteral("Choose the output folder"));
    placeTwips(opendir, 75, 1725, 375, 300);

    txtPath = new QLineEdit(this);
    txtPath->setEnabled(false);
    placeTwips(txtPath, 450, 1725, 1860, 285);

    windowtop = new QCheckBox(QStringLiteral("Keep webcam window on top"), this);
    windowtop->setChecked(true);
    placeTwips(windowtop, 2475, 1725, 2415, 195);

    pause = new QPushButton(QStringLiteral("Pause"), this);
    placeTwips(pause, 3525, 1950, 615, 300);

    reset = new QPushButton(QStringLiteral("Reset"), this);
    placeTwips(reset, 4125, 1950, 615, 300);

    Label6 = new QLabel(QStringLiteral("Messenger Language:"), this);
    placeTwips(Label6, 75, 2175, 1590, 240);

    Combo1 = new QComboBox(this);
    Combo1->addItems({QStringLiteral("English"), QStringLiteral("German")});
    placeTwips(Combo1, 1725, 2100, 1740, 315);

    // A horizontal rule between the capture controls and the movie controls.
    Line1 = new QFrame(this);
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setGeometry(0, 2550 / kTwipsPerPixel, 5040 / kTwipsPerPixel, 1);

    Label4 = new QLabel(QStringLiteral("Currently encoding:"), this);
    placeTwips(Label4, 45, 2685, 1380, 255);

    File1 = new FileListBox(this);
    File1->setPattern("*.jpg");
    File1->setEnabled(false);
    placeTwips(File1, 1485, 2685, 2415, 225);

    aviwrite = new QPushButton(QStringLiteral("Write Avi"), this);
    placeTwips(aviwrite, 3975, 2625, 930, 255);

    // Lies below the client area's bottom edge: the tick writes its size class here unseen.
    Label5 = new QLabel(this);
    placeTwips(Label5, 3750, 3450, 1095, 255);

    for (QWidget* label :
         {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label4),
          static_cast<QWidget*>(Label5), static_cast<QWidget*>(Label6), static_cast<QWidget*>(Image1),
          static_cast<QWidget*>(File1), static_cast<QWidget*>(Picture1), static_cast<QWidget*>(Line1)}) {
        label->setFocusPolicy(Qt::NoFocus);
    }
}

void Form1::fitFont() {
    // The layout is fixed in pixels: take the largest small font whose captions fit their controls.
    QFont candidate = font();
    candidate.setStretch(QFont::SemiCondensed);
    const auto fits = [this](const QFontMetrics& metrics) {
        for (const QLabel* label : findChildren<QLabel*>()) {
            if (metrics.horizontalAdvance(label->text()) > label->width()) {
                return false;
            }
        }
        for (const QCheckBox* box : findChildren<QCheckBox*>()) {
            if (metrics.horizontalAdvance(box->text()) + 20 > box->width()) {
                return false;
            }
        }
        for (const QPushButton* button : findChildren<QPushButton*>()) {
            if (metrics.horizontalAdvance(button->text()) + 6 > button->width()) {
                return false;
            }
        }
        return true;
    };
    constexpr int kLargestPixels = 11;
    constexpr int kSmallestPixels = 8;
    for (int pixels = kLargestPixels; pixels >= kSmallestPixels; --pixels) {
        candidate.setPixelSize(pixels);
        if (pixels == kSmallestPixels || fits(QFontMetrics(candidate))) {
            break;
        }
    }
    setFont(candidate);
}

void Form1::setTabOrder() {
    // The keyboard order of the focusable controls; labels keep their places but never take the focus.
    const QList<QWidget*> order = {List1,   Picture1, Command1, Start, pause, windowtop,
                                   btstop,  reset,    Text1,    cbjpg, cbbmp, opendir,
                                   txtPath, aviwrite, txtFPS,   File1, Combo1};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void Form1::wireEvents() {
    // The window drops its input while a movie is written; a click that comes another way (an
    // accessibility tool, say) is refused then too. The capture timer goes on ticking.
    const auto unlessWriting = [this](void (Form1::*procedure)()) {
        return [this, procedure] {
            if (!writeJob_) {
                (this->*procedure)();
            }
        };
    };
    connect(Command1, &QPushButton::clicked, this, unlessWriting(&Form1::Command1_Click));
    connect(List1, &QListWidget::itemDoubleClicked, this, unlessWriting(&Form1::List1_DblClick));
    connect(Start, &QPushButton::clicked, this, unlessWriting(&Form1::Start_Click));
    connect(btstop, &QPushButton::clicked, this, unlessWriting(&Form1::btstop_Click));
    connect(pause, &QPushButton::clicked, this, unlessWriting(&Form1::pause_Click));
    connect(reset, &QPushButton::clicked, this, unlessWriting(&Form1::reset_Click));
    connect(Timer1, &VbTimer::tick, this, [this] { Timer1_Timer(); });
    connect(opendir, &QPushButton::clicked, this, unlessWriting(&Form1::opendir_Click));
    connect(aviwrite, &QPushButton::clicked, this, unlessWriting(&Form1::aviwrite_Click));
}

void Form1::Form_Load() {
    ignoringFailure([] { avi::AVIFileInit(); });
    ignoringFailure([this] {
        Combo1->setEnabled(false);
        Combo1->setCurrentIndex(0);
    });
    ignoringFailure([this] { Command1_Click(); });
    ignoringFailure([this] { recording.frameCounter = 0; });
    ignoringFailure([this] { Timer2->setEnabled(false); });
    ignoringFailure([this] { txtPath->setText(QString::fromStdString(defaultOutputFolder())); });
    ignoringFailure([this] {
        pause->setEnabled(false);
        btstop->setEnabled(false);
        reset->setEnabled(false);
    });
}

void Form1::Form_Unload() {
    // Runs once, whether the window was closed or destroyed.
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    avi::AVIFileExit();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (writeJob_) {
        // The movie is finished first, with the frames written so far; the window closes after it.
        writeProgress_->requestClose();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

WindowHandle Form1::hWnd() {
    return static_cast<WindowHandle>(winId());
}

std::optional<ViewerEntry> Form1::selectedEntry() {
    const QListWidgetItem* item = List1->currentRow() >= 0 ? List1->currentItem() : nullptr;
    if (item == nullptr || !item->isSelected()) {
        return std::nullopt;
    }
    return ViewerEntry{item->text().toStdString(), item->data(Qt::UserRole).value<WindowHandle>()};
}

bool Form1::saveAsJpg() {
    return cbjpg->isChecked();
}
bool Form1::saveAsBmp() {
    return cbbmp->isChecked();
}
bool Form1::keepWindowOnTop() {
    return windowtop->isChecked();
}

void Form1::showFrame(const Picture& picture) {
    Picture1->setPicture(picture);
    // While a movie is written the preview shows its frames, not the recording's.
    if (!writeJob_) {
        Image1->setPicture(picture);
    }
}

void Form1::paintPreview() {
    if (!writeJob_) {
        Image1->repaint();
    }
}

bool Form1::hasPreview() {
    return true;
}

void Form1::setFrameCountText(const std::string& text) {
    Text1->setText(QString::fromStdString(text));
}

void Form1::setSizeClassCaption(std::string_view caption) {
    Label5->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void Form1::setTimerInterval(std::int32_t milliseconds) {
    Timer1->setInterval(milliseconds);
}
void Form1::setTimerEnabled(bool enabled) {
    Timer1->setEnabled(enabled);
}
void Form1::setStartEnabled(bool enabled) {
    Start->setEnabled(enabled);
}
void Form1::setStopEnabled(bool enabled) {
    btstop->setEnabled(enabled);
    pause->setEnabled(enabled);
}
void Form1::setResetEnabled(bool enabled) {
    reset->setEnabled(enabled);
}

LocaleNames Form1::localeNames() {
    return systemLocaleNames();
}

std::string Form1::outputFolder() {
    return txtPath->text().toStdString();
}

WindowHandle Form1::ownerHandle() {
    return hWnd();
}

void Form1::setOutputFolder(const std::string& path) {
    txtPath->setText(QString::fromStdString(path));
}

void Form1::Command1_Click() {
    List1->clear();
    for (const ViewerEntry& entry : findViewerWindows()) {
        auto* item = new QListWidgetItem(QString::fromStdString(entry.text), List1);
        item->setData(Qt::UserRole, QVariant::fromValue<WindowHandle>(entry.window));
    }
}

void Form1::List1_DblClick() {
    Start_Click();
}

void Form1::Start_Click() {
    recording.start();
}

void Form1::btstop_Click() {
    recording.stop();
}

void Form1::pause_Click() {
    recording.stop();
}

void Form1::reset_Click() {
    recording.reset();
}

void Form1::Timer1_Timer() {
    recording.tick();
}

void Form1::opendir_Click() {
    skorva::opendir_Click(static_cast<FolderChooserView&>(*this));
}

void Form1::aviwrite_Click() {
    if (writeJob_) {
        return;
    }
    writeProgress_ = std::make_unique<WriteProgress>(*this, messages_);
    writeJob_ = std::make_unique<MovieWriteJob>(
        MovieWriteJob::Window{txtPath->text().toStdString(), txtFPS->text().toStdString(), hWnd()},
        writeProgress_->messages());
    writeJob_->beforeFrame = beforeWritingFrame;
    connect(writeProgress_.get(), &WriteProgress::stopAsked, writeJob_.get(), &MovieWriteJob::stop);
    connect(writeJob_.get(), &MovieWriteJob::progressed, this, &Form1::showWriteProgress);
    connect(writeJob_.get(), &MovieWriteJob::finished, this, &Form1::endWrite);
    writeJob_->start();
}

void Form1::showWriteProgress() {
    if (!writeJob_) {
        return;
    }
    MovieWriteJob::Progress progress = writeJob_->takeProgress();
    if (progress.listing) {
        File1->showListing(progress.folder, progress.pattern, std::move(*progress.listing));
    }
    if (progress.listIndex) {
        File1->setListIndex(*progress.listIndex);
    }
    if (progress.picture) {
        Image1->setPicture(*progress.picture);
    }
    if (progress.frame) {
        writeProgress_->writingFrame(progress.frame->first, progress.frame->second);
    }
}

void Form1::endWrite() {
    // What the write showed last stays: the last frame in the preview, its name in the list.
    showWriteProgress();
    writeJob_.reset();
    writeProgress_->finish();
    const bool closeNow = writeProgress_->closeRequested();
    writeProgress_.reset();
    emit writeEnded();
    if (closeNow) {
        close();
    }
}

}  // namespace skorva
