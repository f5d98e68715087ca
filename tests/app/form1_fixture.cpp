#include "tests/app/form1_fixture.h"

#include <QLineEdit>
#include <algorithm>
#include <cstdlib>

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

std::vector<std::filesystem::path> Form1Test::foldersBelowOutput() const {
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(output)) {
        folders.push_back(entry.path().filename());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

}  // namespace skorva::testing
