#pragma once
// A main window over a fake desktop, with every message box captured (the recording's through the sink it
// is handed) and the output folder in a fresh temporary folder.

#include <gtest/gtest.h>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/form1.h"
#include "tests/fakes/fake_desktop.h"
#include "tests/fakes/message_recorder.h"
#include "tests/fakes/scratch_folder.h"

namespace skorva::testing {

class Form1Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the window (Form_Load lists the desktop's windows as they are now), its recording's messages
    // going to `sink`.
    void load();
    void select(int row);
    // Enabled states of Start, Stop, Pause, Reset, as "1010".
    std::string buttons() const;
    std::vector<std::filesystem::path> foldersBelowOutput() const;

    // Expects the JPEG at `path` to be a grab of `width` x `height` at `left`, `top` of the fake screen.
    static void expectGrabOfScreen(const std::filesystem::path& path, int width, int height, int left,
                                   int top);

    FakeDesktop desktop;
    MessageRecorder messages;
    MessageSink* sink = &messages;
    std::unique_ptr<Form1> form;
    std::optional<ScratchFolder> scratch;
    std::filesystem::path output;
};

}  // namespace skorva::testing
