#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/form1.h"
#include "platform/qt/qt_message_boxes.h"
#include "platform/services.h"
#include "platform/x11/x11_desktop.h"
#include "tests/fakes/scratch_folder.h"
#include "tests/qt/modal_driver.h"
#include "tests/x11/x11_test_support.h"

namespace skorva::testing {
namespace {

// Where a client window stands in the window manager's stacking order, bottom first; -1 when not there.
int stackingPlace(const XServer& server, xcb_window_t window) {
    const auto stacking = server.cardinals(server.root(), "_NET_CLIENT_LIST_STACKING");
    const auto it = std::find(stacking.begin(), stacking.end(), window);
    return it == stacking.end() ? -1 : static_cast<int>(it - stacking.begin());
}

TEST(BoxStacking, ATicksBoxOpensAboveTheViewerKeptOnTopAndAboveTheMainWindow) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "DISPLAY is not set";
    }
    const auto desktop = makeX11Desktop();
    const auto server = XServer::connect();
    ASSERT_TRUE(desktop && server);
    QtMessageBoxes boxes;
    ScopedServices installed(Services{.desktop = desktop.get(), .messages = &boxes});
    FixtureProcess fixture({"x=300 y=100 w=368 h=385 title=Webcam for bob"});
    ASSERT_EQ(fixture.windows().size(), 1u);
    const WindowHandle bob = fixture.windows()[0];
    ASSERT_TRUE(eventually([&] { return stackingPlace(*server, bob) >= 0; }));

    const testing::ScratchFolder scratch("skorva-boxes");
    const std::filesystem::path output = scratch.path();
    Form1 form;
    form.show();
    ASSERT_TRUE(eventually([&] {
        QApplication::processEvents();
        return stackingPlace(*server, static_cast<xcb_window_t>(form.winId())) >= 0;
    }));
    form.Command1_Click();
    ASSERT_EQ(form.List1->count(), 1);
    form.List1->setCurrentRow(0);
    form.txtPath->setText(QString::fromStdString(output.string()));
    form.Start_Click();
    form.Timer1->setEnabled(false);
    form.Timer1_Timer();
    ASSERT_TRUE(server->hasNetWmState(bob, "_NET_WM_STATE_ABOVE"));

    // The recording's folder goes away: the next tick cannot store its frame and says so in a box.
    std::filesystem::remove_all(output);
    int boxPlace = -1;
    int viewerPlace = -1;
    int mainPlace = -1;
    onNextModal<QMessageBox>([&](QMessageBox& box) {
        const auto id = static_cast<xcb_window_t>(box.winId());
        // Settled once the window manager lists the box; it is raised as it is mapped.
        eventually([&] {
            QApplication::processEvents();
            return stackingPlace(*server, id) >= 0;
        });
        boxPlace = stackingPlace(*server, id);
        viewerPlace = stackingPlace(*server, bob);
        mainPlace = stackingPlace(*server, static_cast<xcb_window_t>(form.winId()));
        box.accept();
    });
    form.Timer1_Timer();
    EXPECT_GE(viewerPlace, 0);
    EXPECT_GT(boxPlace, viewerPlace);
    EXPECT_GT(boxPlace, mainPlace);
}

}  // namespace
}  // namespace skorva::testing
