#pragma once
// What the X11 tests share: the desktop under test, an independent connection to check what it
// reports, and the viewer fixture as a child process.

#include <gtest/gtest.h>
#include <sys/types.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace skorva::testing {

// A second connection of the test's own, so that checks do not trust the code under test.
class XServer {
  public:
    static std::unique_ptr<XServer> connect();

    xcb_connection_t* get() const { return connection_.get(); }
    xcb_window_t root() const { return screen_->root; }
    int width() const { return screen_->width_in_pixels; }
    int height() const { return screen_->height_in_pixels; }

    // The screen's pixels by a plain GetImage, as 0xRRGGBB, rows top-down; the rectangle must lie on it.
    std::vector<std::uint32_t> rootPixels(int x, int y, int width, int height) const;
    bool exists(xcb_window_t window) const;
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) const;
    bool hasNetWmState(xcb_window_t window, const char* state) const;
    // The client's origin in root coordinates and its size.
    bool clientGeometry(xcb_window_t window, int& x, int& y, int& width, int& height) const;
    xcb_atom_t atom(const char* name) const;
    bool hasShm() const;

    struct Disconnect {
        void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
    };
    XServer(std::unique_ptr<xcb_connection_t, Disconnect> connection, xcb_screen_t* screen)
        : connection_(std::move(connection)), screen_(screen) {}

  private:
    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    xcb_screen_t* screen_;
};

// The viewer fixture with one window per description (see viewer_fixture.cpp); ended by the destructor.
class FixtureProcess {
  public:
    explicit FixtureProcess(const std::vector<std::string>& windows);
    ~FixtureProcess();
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;

    // The window ids in the order of the descriptions; fewer when the fixture failed.
    const std::vector<WindowHandle>& windows() const { return windows_; }
    // Ends the fixture now; its windows go with its connection.
    void stop();

  private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::vector<WindowHandle> windows_;
};

// A private X server of the test's own: `command` (Xvfb or Xvnc with their options) is started with
// "-displayfd 3" added, DISPLAY points at it while the object lives, and it is ended by its PID.
class PrivateServer {
  public:
    explicit PrivateServer(std::vector<std::string> command);
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool running() const { return !display_.empty(); }

  private:
    pid_t pid_ = -1;
    std::string display_;
    std::optional<std::string> previous_;
};

// Asks `check` again until it holds or `limit` has passed; for changes that another process makes.
bool eventually(const std::function<bool()>& check,
                std::chrono::milliseconds limit = std::chrono::seconds(5));

// The picture's pixel at (x, y) as 0xRRGGBB, and its unused byte.
std::uint32_t rgbAt(const Picture& picture, int x, int y);
std::uint8_t padAt(const Picture& picture, int x, int y);

// Tests that need a server: skipped when none can be reached.
class X11Test : public ::testing::Test {
  protected:
    void SetUp() override;
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<XServer> server_;
};

}  // namespace skorva::testing
