#include "platform/x11/image_reader.h"

#include <xcb/shm.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "core/log.h"
#include "platform/platform_error.h"
#include "platform/x11/x11_errors.h"

namespace skorva::x11 {

namespace {

// The unused fourth byte of each pixel, as a 32-bit value in the host's byte order.
constexpr std::uint32_t kOpaque = std::endian::native == std::endian::little ? 0xFF000000u : 0x000000FFu;
constexpr std::uint32_t kAllPlanes = ~0u;
// Segments kept beyond those pictures hold: the one the previews show and the one for the next frame.
constexpr std::size_t kSpareSegments = 2;

// One row of B,G,R,X pixels with X set: one pass, no branches, which the compiler vectorises.
void copyOpaque(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        std::uint32_t pixel;
        std::memcpy(&pixel, source + 4 * i, 4);
        pixel |= kOpaque;
        std::memcpy(target + 4 * i, &pixel, 4);
    }
}

void fillBlack(std::uint8_t* target, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(target + 4 * i, &kOpaque, 4);
    }
}

std::string xError(const char* request, const xcb_generic_error_t* error) {
    return std::string("The X server refused ") + request + " (error " +
           std::to_string(error != nullptr ? error->error_code : 0) + ").";
}

}  // namespace

void setOpaque(std::uint8_t* pixels, std::size_t count) {
    copyOpaque(pixels, pixels, count);
}

ImageReader::ImageReader(const Connection& connection)
    : connection_(connection), shmUsable_(serverHasShm(connection)) {
    if (!shmUsable_) {
        logLine("x11", "Continuing without shared memory.");
    }
}

ImageReader::~ImageReader() {
    for (const auto& segment : segments_) {
        segment->detachFromServer();
    }
}

void ImageReader::checkScreenFormat() {
    if (formatChecked_) {
        return;
    }
    const xcb_setup_t* setup = connection_.setup();
    const xcb_screen_t* screen = connection_.screen();
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        if (it.data->depth == screen->root_depth) {
            bitsPerPixel = it.data->bits_per_pixel;
            scanlinePad = it.data->scanline_pad;
        }
    }
    const xcb_visualtype_t* visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0 && !visual;
         xcb_depth_next(&depths)) {
        for (auto v = xcb_depth_visuals_iterator(depths.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual) {
                visual = v.data;
                break;
            }
        }
    }
    const bool bgrx =
        visual != nullptr &&
        (visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR || visual->_class == XCB_VISUAL_CLASS_DIRECT_COLOR) &&
        visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF &&
        bitsPerPixel == 32 && scanlinePad == 32 && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (!bgrx) {
        throw PlatformError(kUnsupportedScreen,
                            "The screen's pixels are not 32-bit blue, green, red (depth " +
                                std::to_string(screen->root_depth) + ", " + std::to_string(bitsPerPixel) +
                                " bits per pixel).");
    }
    formatChecked_ = true;
}

Picture ImageReader::read(xcb_drawable_t drawable, std::int32_t boundsWidth, std::int32_t boundsHeight,
                          std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return Picture::fromPixels(0, 0, 0, PixelFormat::Bgrx32, {});
    }
    if (connection_.broken()) {
        throw PlatformError(kConnectionLost, "The connection to the X server is lost.");
    }
    checkScreenFormat();

    const auto tooLarge = [&] {
        return PlatformError(kPictureTooLarge, "A picture of " + std::to_string(width) + " x " +
                                                   std::to_string(height) + " pixels is too large.");
    };
    // Checked before multiplying: a stride within 32 bits times a 32-bit height fits in 64 bits.
    const std::int64_t stride64 = std::int64_t{width} * 4;
    if (stride64 > std::numeric_limits<std::int32_t>::max()) {
        throw tooLarge();
    }
    const std::int64_t bytes64 = stride64 * height;
    if (static_cast<std::uint64_t>(bytes64) > std::vector<std::uint8_t>().max_size()) {
        throw tooLarge();
    }

    // The drawable holds no pixels beyond its edges: read only the part on it and write the rest black.
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{left} + width, boundsWidth);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{top} + height, boundsHeight);
    const std::int64_t clippedWidth = std::max<std::int64_t>(x1 - x0, 0);
    const std::int64_t clippedHeight = std::max<std::int64_t>(y1 - y0, 0);
    if (clippedWidth == width && clippedHeight == height) {
        if (Picture shared = fetchShared(drawable, left, top, width, height); !shared.isNull()) {
            return shared;
        }
    }

    const auto stride = static_cast<std::size_t>(stride64);
    // Not cleared: every byte is written below, by the fetch or as black.
    PixelBuffer pixels;
    try {
        pixels = PixelBuffer::uninitialised(static_cast<std::size_t>(bytes64));
    } catch (const std::bad_alloc&) {
        throw tooLarge();
    }
    if (clippedWidth == 0 || clippedHeight == 0) {
        fillBlack(pixels.data(), pixels.size() / 4);
    } else {
        const auto firstRow = static_cast<std::size_t>(y0 - top);
        const auto lastRow = static_cast<std::size_t>(firstRow + static_cast<std::size_t>(clippedHeight));
        const auto leftPixels = static_cast<std::size_t>(x0 - left);
        const auto rightPixels =
            static_cast<std::size_t>(width) - leftPixels - static_cast<std::size_t>(clippedWidth);
        fetch(drawable, static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
              static_cast<std::int32_t>(clippedWidth), static_cast<std::int32_t>(clippedHeight),
              pixels.data() + firstRow * stride + leftPixels * 4, stride);
        for (std::size_t row = firstRow; row < lastRow; ++row) {
            std::uint8_t* line = pixels.data() + row * stride;
            fillBlack(line, leftPixels);
            fillBlack(line + (leftPixels + static_cast<std::size_t>(clippedWidth)) * 4, rightPixels);
        }
        fillBlack(pixels.data(), firstRow * stride / 4);
        fillBlack(pixels.data() + lastRow * stride,
                  (static_cast<std::size_t>(height) - lastRow) * stride / 4);
    }
    return Picture::fromBuffer(width, height, static_cast<std::int32_t>(stride), PixelFormat::Bgrx32,
                               std::move(pixels));
}

Picture ImageReader::fetchShared(xcb_drawable_t drawable, std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height) {
    // 32 bits per pixel, rows padded to 32 bits: the segment's rows are the picture's.
    const auto bytes = static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height);
    std::shared_ptr<ShmSegment> segment = freeSegment(bytes);
    if (!segment) {
        return {};
    }
    shmGetImage(drawable, x, y, width, height, *segment);
    setOpaque(segment->data(), bytes / 4);
    std::uint8_t* begin = segment->data();
    return Picture::fromShared(width, height, width * 4, PixelFormat::Bgrx32, begin, bytes,
                               std::move(segment));
}

void ImageReader::fetch(xcb_drawable_t drawable, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::uint8_t* target, std::size_t stride) {
    xcb_connection_t* c = connection_.get();
    const auto rowBytes = static_cast<std::size_t>(width) * 4;  // 32 bits per pixel, padded to 32
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(height);

    const std::uint8_t* source = nullptr;
    Reply<xcb_get_image_reply_t> plain;
    // Held only for this copy: the picture gets its own memory.
    const std::shared_ptr<ShmSegment> segment = freeSegment(bytes);
    if (segment) {
        shmGetImage(drawable, x, y, width, height, *segment);
        source = segment->data();
    } else {
        xcb_generic_error_t* rawError = nullptr;
        plain.reset(xcb_get_image_reply(
            c,
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, static_cast<std::int16_t>(x),
                          static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), kAllPlanes),
            &rawError));
        ErrorPtr error(rawError);
        if (!plain || error) {
            fail(error.get(), "GetImage");
        }
        if (static_cast<std::size_t>(xcb_get_image_data_length(plain.get())) < bytes) {
            throw PlatformError(kGrabRefused, "The X server sent a short image.");
        }
        source = xcb_get_image_data(plain.get());
    }
    for (std::int32_t row = 0; row < height; ++row) {
        copyOpaque(source + static_cast<std::size_t>(row) * rowBytes,
                   target + static_cast<std::size_t>(row) * stride, static_cast<std::size_t>(width));
    }
}

void ImageReader::shmGetImage(xcb_drawable_t drawable, std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height, const ShmSegment& segment) {
    xcb_connection_t* c = connection_.get();
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, drawable, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), kAllPlanes,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, segment.id(), 0),
        &rawError));
    ErrorPtr error(rawError);
    if (!reply || error) {
        fail(error.get(), "ShmGetImage");
    }
}

std::shared_ptr<ShmSegment> ImageReader::freeSegment(std::size_t bytes) {
    if (!shmUsable_) {
        return nullptr;
    }
    const auto isFree = [](const std::shared_ptr<ShmSegment>& segment) { return segment.use_count() == 1; };
    std::shared_ptr<ShmSegment> found;
    for (const auto& segment : segments_) {
        if (isFree(segment) && segment->size() >= bytes) {
            found = segment;
            break;
        }
    }
    if (!found) {
        // The free ones are all too small: give them up for one that is large enough.
        std::erase_if(segments_, isFree);
        found = ShmSegment::create(connection_, bytes);
        if (!found) {
            shmUsable_ = false;
            logLine("x11", "Continuing without shared memory.");
            return nullptr;
        }
        segments_.push_back(found);
    }
    // Pictures that were let go leave their segments free: keep no more of them than the next frames need.
    std::size_t spare = 0;
    std::erase_if(segments_, [&](const std::shared_ptr<ShmSegment>& segment) {
        return segment != found && isFree(segment) && ++spare > kSpareSegments;
    });
    return found;
}

void ImageReader::fail(const xcb_generic_error_t* error, const char* request) const {
    if (connection_.broken()) {
        throw PlatformError(kConnectionLost, "The connection to the X server is lost.");
    }
    throw PlatformError(kGrabRefused, xError(request, error));
}

}  // namespace skorva::x11
