// Start, Stop, Pause and Reset: the recording states.

#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <ctime>

#include "app/form1.h"
#include "app/locale_names.h"
#include "app/recording_names.h"
#include "platform/message_box.h"

namespace skorva {
namespace {

constexpr int kCaptureIntervalMs = 1000;

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

void Form1::Start_Click() {
    std::string entryText;
    WindowHandle window = 0;
    if (!selectedEntryOrHalt(entryText, window)) {
        return;
    }
    // The folder is made before anything switches, so that a recording that cannot be stored never
    // starts: the timer and the buttons stay as they were.
    // The output folder is read here only: the ticks write where Start put them, whatever the path box
    // or the folder chooser show meanwhile.
    const std::string output = txtPath->text().toStdString();
    const std::string wanted = recordingFolderName(entryText, localTimeNow(), systemLocaleNames());
    std::string reason;
    const std::string folderName = recording_.claim(output, wanted, reason);
    if (folderName.empty()) {
        MsgBox("Cannot create the recording folder " + shortenedForBox(output + "/" + wanted) + ": " +
                   reason + ".",
               MessageIcon::Exclamation);
        return;
    }
    Timer1->setInterval(kCaptureIntervalMs);
    Timer1->setEnabled(true);
    Start->setEnabled(false);
    btstop->setEnabled(true);
    pause->setEnabled(true);
    reset->setEnabled(true);
    recordingFolder = folderName;
}

bool Form1::selectedEntryOrHalt(std::string& text, WindowHandle& window) {
    if (selectedEntry(text, window)) {
        return true;
    }
    MsgBox("choose a webcam from the list first");
    Timer1->setEnabled(false);
    return false;
}

void Form1::btstop_Click() {
    Timer1->setEnabled(false);
    btstop->setEnabled(false);
    pause->setEnabled(false);
    Start->setEnabled(true);
}

void Form1::pause_Click() {
    btstop_Click();
}

void Form1::reset_Click() {
    frameCounter = 0;
}

}  // namespace skorva
