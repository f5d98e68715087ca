#include "tests/app/form1_fixture.h"

#include <QLineEdit>

#include <algorithm>
#include <cstdlib>
#include "imaging/picture_files.h"

namespace skorva::testing {

void Form1Test::SetUp() {
    scratch.emplace("skorva-form1");
    output = scratch->path();
}

void Form1Test::TearDown() {
    form.reset();
    scratch.reset();
}

void Form1Test::load() {
    form = std::make_unique<Form1>(*sink);
    form->txtPath->setText(QString::fromStdString(output.string()));
}

void Form1Test::select(int row) {
    form->List1->setCurrentRow(row);
}

std::string Form1Test::buttons() const {
    std::string states;
    for (const QPushButton* button : {form->Start, form->btstop, form->pause, form->reset}) {
        states += button->isEnabled() ? '1' : '0';
    }
    return states;
}

void Form1Test::expectGrabOfScreen(const std::filesystem::path& path, int width, int height, int left,
                                   int top) {
    SCOPED_TRACE(path.string());
    // Decoded and compared in the middle, away from the edges of the JPEG's blocks.
    const Picture frame = LoadPicture(path.string());
    ASSERT_EQ(frame.width(), width);
    ASSERT_EQ(frame.height(), height);
    const std::uint8_t* pixel = frame.row(height / 2) + 4 * (width / 3);
    const std::uint32_t expected = patternPixel(left + width / 3, top + height / 2);
    EXPECT_NEAR(pixel[2], (expected >> 16) & 0xFF, 12);
    EXPECT_NEAR(pixel[1], (expected >> 8) & 0xFF, 12);
}

std::vector<std::filesystem::path> Form1Test::foldersBelowOutput() const {
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(output)) {
        folders.push_back(entry.path().filename());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

}  // namespace skorva::testing
