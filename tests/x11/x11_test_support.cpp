#include "tests/x11/x11_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/x11/x11_desktop.h"

namespace skorva::testing {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

std::unique_ptr<XServer> XServer::connect() {
    std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        return nullptr;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data;
    return std::make_unique<XServer>(std::move(connection), screen);
}

std::vector<std::uint32_t> XServer::rootPixels(int x, int y, int width, int height) const {
    std::vector<std::uint32_t> pixels;
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
        get(),
        xcb_get_image(get(), XCB_IMAGE_FORMAT_Z_PIXMAP, root(), static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), ~0u),
        nullptr));
    if (!image) {
        return pixels;
    }
    const std::uint8_t* data = xcb_get_image_data(image.get());
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = std::uint32_t{data[4 * i]} | std::uint32_t{data[4 * i + 1]} << 8 |
                    std::uint32_t{data[4 * i + 2]} << 16;
    }
    return pixels;
}

bool XServer::exists(xcb_window_t window) const {
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(get(), xcb_get_geometry(get(), window), &error));
    std::free(error);
    return static_cast<bool>(reply);
}

xcb_atom_t XServer::atom(const char* name) const {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        get(), xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<std::uint32_t> XServer::cardinals(xcb_window_t window, const char* property) const {
    std::vector<std::uint32_t> values;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        get(), xcb_get_property(get(), 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    if (!reply || reply->format != 32) {
        return values;
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    return values;
}

bool XServer::hasNetWmState(xcb_window_t window, const char* state) const {
    const auto states = cardinals(window, "_NET_WM_STATE");
    return std::find(states.begin(), states.end(), atom(state)) != states.end();
}

bool XServer::clientGeometry(xcb_window_t window, int& x, int& y, int& width, int& height) const {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(get(), xcb_get_geometry(get(), window), nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        get(), xcb_translate_coordinates(get(), window, root(), 0, 0), nullptr));
    if (!geometry || !origin) {
        return false;
    }
    x = origin->dst_x;
    y = origin->dst_y;
    width = geometry->width;
    height = geometry->height;
    return true;
}

bool XServer::hasShm() const {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(get(), &xcb_shm_id);
    return extension != nullptr && extension->present != 0;
}

FixtureProcess::FixtureProcess(const std::vector<std::string>& windows) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> argv;
    std::string program = SKORVA_FIXTURE;
    argv.push_back(program.data());
    std::vector<std::string> arguments = windows;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (pid_ < 0) {
        return;
    }
    // Wait for one line per window; a fixture that hangs must not hang the test.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string pending;
    while (windows_.size() < windows.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        pollfd descriptor{fromChild_, POLLIN, 0};
        if (left <= 0 || poll(&descriptor, 1, static_cast<int>(left)) <= 0) {
            break;
        }
        char buffer[512];
        const ssize_t n = read(fromChild_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("window 0x", 0) == 0) {
                windows_.push_back(static_cast<WindowHandle>(std::strtoul(line.c_str() + 9, nullptr, 16)));
            }
        }
    }
}

void FixtureProcess::stop() {
    if (toChild_ >= 0) {
        close(toChild_);
        toChild_ = -1;
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        // The server hands the ids of a client that left to the next one. Wait until the window
        // manager has let go of our windows, or it may treat the next fixture's windows as these.
        if (auto server = XServer::connect()) {
            eventually([&] {
                const auto clients = server->cardinals(server->root(), "_NET_CLIENT_LIST");
                return std::none_of(windows_.begin(), windows_.end(), [&](WindowHandle window) {
                    return std::find(clients.begin(), clients.end(), window) != clients.end();
                });
            });
        }
    }
    if (fromChild_ >= 0) {
        close(fromChild_);
        fromChild_ = -1;
    }
}

FixtureProcess::~FixtureProcess() {
    stop();
}

PrivateServer::PrivateServer(std::vector<std::string> command) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        return;
    }
    command.insert(command.begin() + 1, {"-displayfd", "3"});
    std::vector<char*> argv;
    for (std::string& argument : command) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(ready[1], 3);
        // Its banner, its log and the displays it probes while choosing one: not the test's business.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd descriptor{ready[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&descriptor, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(ready[0]);
    if (!number.empty()) {
        if (const char* old = std::getenv("DISPLAY")) {
            previous_ = old;
        }
        display_ = ":" + number;
        setenv("DISPLAY", display_.c_str(), 1);
    }
}

PrivateServer::~PrivateServer() {
    if (!display_.empty()) {
        if (previous_) {
            setenv("DISPLAY", previous_->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool eventually(const std::function<bool()>& check, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::uint32_t rgbAt(const Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.row(y) + 4 * x;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

std::uint8_t padAt(const Picture& picture, int x, int y) {
    return picture.row(y)[4 * x + 3];
}

void X11Test::SetUp() {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "DISPLAY is not set: no X server to test against";
    }
    desktop_ = makeX11Desktop();
    server_ = XServer::connect();
    if (!desktop_ || !server_) {
        GTEST_SKIP() << "no X server can be reached";
    }
}

}  // namespace skorva::testing
