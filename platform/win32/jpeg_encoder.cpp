// JPEG encoding through the Windows Imaging Component, the encoder every Windows has. The rows are turned
// into the 24-bit BGR (or grey) top-down rows WIC's JPEG encoder takes, then encoded into a memory stream.

#include "platform/jpeg/jpeg_encoder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32/wic.h"

namespace skorva {
namespace {

using win32::ComPtr;

// The largest JPEG of a size: every MCU stored raw twice over, as libjpeg's own bound, plus the headers.
std::uint64_t worstCase(std::int32_t width, std::int32_t height, JpegSubsampling subsampling) {
    const std::uint64_t mcuWidth =
        subsampling == JpegSubsampling::Half422 || subsampling == JpegSubsampling::Quarter420 ? 16 : 8;
    const std::uint64_t mcuHeight = subsampling == JpegSubsampling::Quarter420 ? 16 : 8;
    const std::uint64_t chromaFactor =
        subsampling == JpegSubsampling::Grey ? 0 : 4 * 64 / (mcuWidth * mcuHeight);
    const auto pad = [](std::uint64_t value, std::uint64_t unit) { return (value + unit - 1) / unit * unit; };
    return pad(static_cast<std::uint64_t>(width), mcuWidth) *
               pad(static_cast<std::uint64_t>(height), mcuHeight) * (2 + chromaFactor) +
           2048;
}

// The WIC option value of a subsampling (WICJpegYCrCbSubsamplingOption).
std::uint8_t wicSubsampling(JpegSubsampling subsampling) {
    switch (subsampling) {
        case JpegSubsampling::Full444:
            return 3;
        case JpegSubsampling::Half422:
            return 2;
        case JpegSubsampling::Quarter420:
        case JpegSubsampling::Grey:
            break;
    }
    return 1;
}

// Top-down rows of 3 bytes (B, G, R) a pixel, or 1 (grey), padded to 4 bytes as WIC wants.
std::vector<std::uint8_t> encoderRows(const JpegInput& input, bool grey, std::uint32_t& stride) {
    const std::uint32_t channels = grey ? 1 : 3;
    stride = (static_cast<std::uint32_t>(input.width) * channels + 3) & ~3u;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * static_cast<std::size_t>(input.height));
    const int step = input.format == JpegPixels::Bgrx ? 4 : 3;
    for (std::int32_t y = 0; y < input.height; ++y) {
        const std::int32_t from = input.bottomUp ? input.height - 1 - y : y;
        const std::uint8_t* in = input.pixels + static_cast<std::ptrdiff_t>(from) * input.pitch;
        std::uint8_t* out = rows.data() + static_cast<std::size_t>(y) * stride;
        for (std::int32_t x = 0; x < input.width; ++x, in += step) {
            const std::uint8_t blue = input.format == JpegPixels::Rgb ? in[2] : in[0];
            const std::uint8_t red = input.format == JpegPixels::Rgb ? in[0] : in[2];
            if (grey) {
                *out++ = static_cast<std::uint8_t>((299 * red + 587 * in[1] + 114 * blue + 500) / 1000);
            } else {
                *out++ = blue;
                *out++ = in[1];
                *out++ = red;
            }
        }
    }
    return rows;
}

// Writes one named option; false when the encoder does not take it.
bool writeOption(IPropertyBag2* options, const wchar_t* name, VARIANT value) {
    PROPBAG2 option{};
    option.pstrName = const_cast<wchar_t*>(name);
    return SUCCEEDED(options->Write(1, &option, &value));
}

}  // namespace

std::optional<std::uint64_t> jpegWorstCaseSize(std::int32_t width, std::int32_t height,
                                               JpegSubsampling subsampling) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return worstCase(width, height, subsampling);
}

void JpegEncoder::HandleDestroy::operator()(void* handle) const {
    static_cast<IWICImagingFactory*>(handle)->Release();
}

void JpegEncoder::BufferFree::operator()(unsigned char* buffer) const {
    std::free(buffer);
}

JpegEncoder::JpegEncoder() {
    std::string failure;
    if (IWICImagingFactory* factory = win32::imagingFactory(failure)) {
        factory->AddRef();
        handle_.reset(factory);
    }
}

JpegEncoder::~JpegEncoder() = default;

Status JpegEncoder::ready() const {
    std::string failure;
    if (!handle_ && win32::imagingFactory(failure) == nullptr) {
        return Status::failure(failure);
    }
    return {};
}

Status JpegEncoder::reserve(std::int32_t width, std::int32_t height, JpegSubsampling subsampling) {
    const std::optional<std::uint64_t> needed = jpegWorstCaseSize(width, height, subsampling);
    if (!needed) {
        return Status::failure("Invalid argument: the picture has no pixels");
    }
    if (*needed > static_cast<std::uint64_t>(INT_MAX)) {
        return Status::failure(std::strerror(ENOMEM));
    }
    if (*needed > capacity_) {
        buffer_.reset(static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(*needed))));
        capacity_ = buffer_ ? static_cast<std::size_t>(*needed) : 0;
        size_ = 0;
        if (!buffer_) {
            return Status::failure(std::strerror(ENOMEM));
        }
    }
    return {};
}

Status JpegEncoder::encode(const JpegInput& input, JpegSubsampling subsampling, int quality) {
    size_ = 0;
    if (Status status = reserve(input.width, input.height, subsampling); !status) {
        return status;
    }
    std::string failure;
    IWICImagingFactory* factory = win32::imagingFactory(failure);
    if (factory == nullptr) {
        return Status::failure(failure);
    }
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    HRESULT result = ::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
    if (SUCCEEDED(result)) {
        result = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.GetAddressOf());
    }
    if (SUCCEEDED(result)) {
        result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    }
    if (SUCCEEDED(result)) {
        result = encoder->CreateNewFrame(frame.GetAddressOf(), options.GetAddressOf());
    }
    if (FAILED(result)) {
        return Status::failure(win32::failedWith("The JPEG encoder", result));
    }
    VARIANT value{};
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    writeOption(options.Get(), L"ImageQuality", value);
    // Older systems do not know the option: their encoder keeps its own subsampling (4:2:0).
    value.vt = VT_UI1;
    value.bVal = wicSubsampling(subsampling);
    writeOption(options.Get(), L"JpegYCrCbSubsampling", value);

    const bool grey = subsampling == JpegSubsampling::Grey;
    std::uint32_t stride = 0;
    std::vector<std::uint8_t> rows = encoderRows(input, grey, stride);
    WICPixelFormatGUID format = grey ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
    const WICPixelFormatGUID asked = format;
    result = frame->Initialize(options.Get());
    if (SUCCEEDED(result)) {
        result = frame->SetSize(static_cast<UINT>(input.width), static_cast<UINT>(input.height));
    }
    if (SUCCEEDED(result)) {
        result = frame->SetPixelFormat(&format);
    }
    if (SUCCEEDED(result) && format != asked) {
        return Status::failure("The JPEG encoder does not take 24-bit BGR pixels");
    }
    if (SUCCEEDED(result)) {
        result = frame->WritePixels(static_cast<UINT>(input.height), stride, static_cast<UINT>(rows.size()),
                                    rows.data());
    }
    if (SUCCEEDED(result)) {
        result = frame->Commit();
    }
    if (SUCCEEDED(result)) {
        result = encoder->Commit();
    }
    if (FAILED(result)) {
        return Status::failure(win32::failedWith("The JPEG encoder", result));
    }
    ULARGE_INTEGER end{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end)) ||
        FAILED(::GetHGlobalFromStream(stream.Get(), &memory))) {
        return Status::failure("The JPEG encoder's stream cannot be read");
    }
    const auto size = static_cast<std::size_t>(end.QuadPart);
    if (size > capacity_) {
        return Status::failure(std::strerror(ENOMEM));
    }
    const void* bytes = ::GlobalLock(memory);
    std::memcpy(buffer_.get(), bytes, size);
    ::GlobalUnlock(memory);
    size_ = size;
    return {};
}

}  // namespace skorva
