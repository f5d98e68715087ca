#include "platform/x11/window_grab.h"

#include <xcb/composite.h>

#include <algorithm>
#include <limits>

#include "core/log.h"
#include "platform/platform_error.h"
#include "platform/x11/repaint_watch.h"
#include "platform/x11/window_state.h"
#include "platform/x11/x11_errors.h"

namespace skorva::x11 {

namespace {

// Far off-screen coordinates only ever grab black; keep them inside 32 bits rather than wrap.
std::int32_t clampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// Deeper than any window manager nests its frames.
constexpr int kDeepestFrame = 16;

}  // namespace

WindowGrabber::Questions WindowGrabber::ask(xcb_window_t window) const {
    xcb_connection_t* c = connection_.get();
    const bool known = current_ && current_->client == window;
    return {window, requestOuterRect(connection_, window), xcb_query_tree(c, window),
            xcb_get_geometry(c, known ? current_->frame : window), known};
}

void WindowGrabber::discard(const Questions& questions) const {
    x11::discard(connection_, questions.outer);
    xcb_discard_reply(connection_.get(), questions.tree.sequence);
    xcb_discard_reply(connection_.get(), questions.frameGeometry.sequence);
}

Picture WindowGrabber::grab(xcb_window_t window, std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height, bool* notRepainted, std::optional<Questions> asked) {
    if (notRepainted != nullptr) {
        *notRepainted = false;
    }
    // Questions asked of another window, or of a frame no longer the one followed, or that the grab will
    // not read, are given up.
    if (asked &&
        (asked->window != window || asked->ofKnownFrame != (current_ && current_->client == window) ||
         width <= 0 || height <= 0 || connection_.broken())) {
        discard(*asked);
        asked.reset();
    }
    if (width <= 0 || height <= 0) {
        return Picture::fromPixels(0, 0, 0, PixelFormat::Bgrx32, {});
    }
    if (window == XCB_WINDOW_NONE) {
        return {};
    }
    if (connection_.broken()) {
        throw PlatformError(kConnectionLost, "The connection to the X server is lost.");
    }
    xcb_connection_t* c = connection_.get();
    // A window resized between the frame's size and the read is read once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // What the grab needs, asked at once (or ahead): the window's place, its parent, and the frame
        // found before.
        const Questions questions = attempt == 0 && asked ? *asked : ask(window);
        const bool known = questions.ofKnownFrame;
        Rect outer{0, 0, 0, 0};
        Rect client{0, 0, 0, 0};
        const bool exists = outerRectReply(connection_, questions.outer, outer, &client);
        xcb_generic_error_t* rawError = nullptr;
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, questions.tree, &rawError));
        ErrorPtr treeError(rawError);
        rawError = nullptr;
        Reply<xcb_get_geometry_reply_t> frameGeometry(
            xcb_get_geometry_reply(c, questions.frameGeometry, &rawError));
        ErrorPtr frameError(rawError);
        if (!exists || !tree || treeError) {
            return {};
        }
        if (!connection_.hasComposite()) {
            return fromScreen(outer, left, top, width, height);
        }
        // The grab in the client's own coordinates, where its exposures and its drawing are counted.
        const std::int64_t areaLeft = std::int64_t{outer.left} + left - client.left;
        const std::int64_t areaTop = std::int64_t{outer.top} + top - client.top;
        const Rect area{clampToInt32(areaLeft), clampToInt32(areaTop), clampToInt32(areaLeft + width),
                        clampToInt32(areaTop + height)};
        bool redirectedNow = false;
        if (!known || current_->parent != tree->parent || !frameGeometry || frameError) {
            const xcb_window_t frame = topLevelOf(window, tree->parent);
            if (frame == XCB_WINDOW_NONE) {
                return {};
            }
            if (!known || frame != current_->frame) {
                end();
                current_ = Redirected{window, tree->parent, frame, false, {}};
                current_->redirected = redirect(window, frame, area, current_->unpainted);
                redirectedNow = true;
            }
            current_->parent = tree->parent;
            frameGeometry.reset(xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr));
            if (!frameGeometry) {
                return {};
            }
        }
        if (!current_->redirected) {
            return fromScreen(outer, left, top, width, height);
        }
        if (!redirectedNow && !current_->unpainted.within(area).empty()) {
            askForRepaint(window, area, current_->unpainted);
        }
        if (!current_->unpainted.within(area).empty()) {
            // Black, or whatever the server left there, is no frame of the viewer's.
            logLine("x11",
                    "A frame is left out: the viewer window has not painted all of its picture within "
                    "half a second.");
            if (notRepainted != nullptr) {
                *notRepainted = true;
            }
            return {};
        }
        // The pixmap holds the frame with its border; its top-left corner is the frame's place on the root.
        const std::int32_t border = frameGeometry->border_width;
        const std::int64_t x = std::int64_t{outer.left} + left - frameGeometry->x;
        const std::int64_t y = std::int64_t{outer.top} + top - frameGeometry->y;
        bool named = false;
        Picture picture = readPixmap(current_->frame, frameGeometry->depth, frameGeometry->width + 2 * border,
                                     frameGeometry->height + 2 * border, clampToInt32(x), clampToInt32(y),
                                     width, height, named);
        if (!picture.isNull()) {
            return picture;
        }
        if (!named) {
            // Unmapped since the tick looked, or refused: this frame comes from the screen.
            return fromScreen(outer, left, top, width, height);
        }
    }
    Rect outer{0, 0, 0, 0};
    if (!outerRect(connection_, window, outer)) {
        return {};
    }
    return fromScreen(outer, left, top, width, height);
}

Picture WindowGrabber::readPixmap(xcb_window_t frame, std::uint8_t depth, std::int32_t pixmapWidth,
                                  std::int32_t pixmapHeight, std::int32_t x, std::int32_t y,
                                  std::int32_t width, std::int32_t height, bool& named) {
    xcb_connection_t* c = connection_.get();
    composeChildren(frame, depth);
    // Named afresh each time: after a resize an old pixmap keeps the old picture.
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    const xcb_void_cookie_t naming = xcb_composite_name_window_pixmap_checked(c, frame, pixmap);
    Picture picture;
    bool refused = false;
    try {
        picture = screen_.reader().read(pixmap, pixmapWidth, pixmapHeight, x, y, width, height);
    } catch (const PlatformError& error) {
        if (error.number() != kGrabRefused) {
            ErrorPtr namingError(xcb_request_check(c, naming));
            if (!namingError) {
                xcb_free_pixmap(c, pixmap);
            }
            throw;
        }
        refused = true;
    }
    // Answered already when the read went to the server: no further round trip.
    ErrorPtr namingError(xcb_request_check(c, naming));
    named = !namingError;
    if (named) {
        xcb_free_pixmap(c, pixmap);
    }
    if (!named || refused) {
        return {};
    }
    return picture;
}

Picture WindowGrabber::fromScreen(const Rect& outer, std::int32_t left, std::int32_t top, std::int32_t width,
                                  std::int32_t height) {
    if (!toldScreen_) {
        logLine("x11",
                "Recording from the screen: covered parts of the viewer are recorded as they are seen.");
        toldScreen_ = true;
    }
    return screen_.grab(clampToInt32(std::int64_t{outer.left} + left),
                        clampToInt32(std::int64_t{outer.top} + top), width, height);
}

xcb_window_t WindowGrabber::topLevelOf(xcb_window_t client, xcb_window_t parent) const {
    xcb_window_t child = client;
    xcb_window_t up = parent;
    for (int depth = 0; depth < kDeepestFrame && up != connection_.root(); ++depth) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_.get(), xcb_query_tree(connection_.get(), up), nullptr));
        if (!tree) {
            return XCB_WINDOW_NONE;
        }
        child = up;
        up = tree->parent;
    }
    return up == connection_.root() ? child : xcb_window_t{XCB_WINDOW_NONE};
}

void WindowGrabber::composeChildren(xcb_window_t frame, std::uint8_t depth) {
    xcb_connection_t* c = connection_.get();
    const xcb_pixmap_t scratch = xcb_generate_id(c);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const std::uint32_t values[] = {XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS, 0};
    // Errors (a frame gone meanwhile) are of no interest: the read that follows finds it out.
    for (const xcb_void_cookie_t cookie :
         {xcb_create_pixmap_checked(c, depth, scratch, frame, 1, 1),
          xcb_create_gc_checked(c, gc, scratch, XCB_GC_SUBWINDOW_MODE | XCB_GC_GRAPHICS_EXPOSURES, values),
          xcb_copy_area_checked(c, frame, scratch, gc, 0, 0, 0, 0, 1, 1), xcb_free_gc_checked(c, gc),
          xcb_free_pixmap_checked(c, scratch)}) {
        xcb_discard_reply(c, cookie.sequence);
    }
}

bool WindowGrabber::redirect(xcb_window_t client, xcb_window_t frame, const Rect& area,
                             RectRegion& unpainted) {
    xcb_connection_t* c = connection_.get();
    // The frame, not the client: its pixmap holds the decorations too, so that the grab rectangle keeps
    // counting from the outer rectangle. Automatic: the server still shows the window as before.
    RepaintWatch watch(connection_, client);
    ErrorPtr error(xcb_request_check(
        c, xcb_composite_redirect_window_checked(c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
    if (error) {
        return false;
    }
    // The new pixmap holds what was covered or off the screen only once the owner has answered its
    // Expose: until then it is black, or whatever the server left there.
    unpainted = watch.waitForRepaintOf(area, Clock::now() + std::chrono::milliseconds(kRepaintWaitMs));
    return true;
}

void WindowGrabber::askForRepaint(xcb_window_t client, const Rect& area, RectRegion& unpainted) {
    xcb_connection_t* c = connection_.get();
    RepaintWatch watch(connection_, client);
    // Nobody watched since the last wait: an Expose of what was missing then, and its answer watched.
    for (const Rect& rect : unpainted.rects()) {
        xcb_clear_area(c, 1, client, static_cast<std::int16_t>(std::clamp(rect.left, -32768, 32767)),
                       static_cast<std::int16_t>(std::clamp(rect.top, -32768, 32767)),
                       static_cast<std::uint16_t>(std::clamp(rect.right - rect.left, 0, 65535)),
                       static_cast<std::uint16_t>(std::clamp(rect.bottom - rect.top, 0, 65535)));
    }
    unpainted = watch.waitForRepaintOf(area, Clock::now() + std::chrono::milliseconds(kRepaintWaitMs));
}

void WindowGrabber::end() {
    if (current_ && current_->redirected && !connection_.broken()) {
        xcb_connection_t* c = connection_.get();
        // Checked: a frame that is gone took its redirect with it.
        ErrorPtr error(xcb_request_check(c, xcb_composite_unredirect_window_checked(
                                                c, current_->frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
    }
    current_.reset();
    toldScreen_ = false;
}

}  // namespace skorva::x11
