// JPEG decoding through the Windows Imaging Component. The header is read from the file's markers alone;
// a reduced size is reached by WIC's scaler. WIC does not tell a damaged file it could still decode from
// a whole one: such a file decodes, or fails, as WIC decides.

#include "platform/jpeg/jpeg_decoder.h"

#include "platform/jpeg/jpeg_frame_header.h"
#include "platform/jpeg/jpeg_scaling.h"
#include "platform/win32/wic.h"

namespace skorva {
namespace {

using win32::ComPtr;

}  // namespace

std::optional<JpegSize> readJpegSize(std::span<const std::uint8_t> jpeg) {
    const std::optional<JpegFrameHeader> header = readJpegFrameHeader(jpeg);
    if (!header || header->width <= 0 || header->height <= 0) {
        return std::nullopt;
    }
    return JpegSize{header->width, header->height};
}

void JpegHeaderReader::HandleDestroy::operator()(void*) const {}

std::optional<JpegSize> JpegHeaderReader::read(std::span<const std::uint8_t> jpeg) {
    return readJpegSize(jpeg);
}

JpegSize jpegScaleCovering(JpegSize declared, JpegSize cover) {
    static constexpr ScaleFraction kEighths[] = {{1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8}, {6, 8}, {7, 8}};
    return smallestScaleCovering(declared, cover, kEighths);
}

Status decodeJpegBgrx(std::span<const std::uint8_t> jpeg, std::uint8_t* pixels, int width, int pitch,
                      int height, bool, bool* damaged) {
    if (damaged != nullptr) {
        *damaged = false;
    }
    std::string failure;
    IWICImagingFactory* factory = win32::imagingFactory(failure);
    if (factory == nullptr) {
        return Status::failure(failure);
    }
    const ComPtr<IStream> stream = win32::streamOver(jpeg);
    if (!stream) {
        return Status::failure("Not enough memory");
    }
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapScaler> scaler;
    ComPtr<IWICFormatConverter> converter;
    HRESULT result = factory->CreateDecoderFromStream(stream.Get(), &GUID_ContainerFormatJpeg,
                                                      WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf());
    if (SUCCEEDED(result)) {
        result = decoder->GetFrame(0, frame.GetAddressOf());
    }
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    if (SUCCEEDED(result)) {
        result = frame->GetSize(&frameWidth, &frameHeight);
    }
    IWICBitmapSource* source = frame.Get();
    if (SUCCEEDED(result) &&
        (frameWidth != static_cast<UINT>(width) || frameHeight != static_cast<UINT>(height))) {
        result = factory->CreateBitmapScaler(scaler.GetAddressOf());
        if (SUCCEEDED(result)) {
            result = scaler->Initialize(frame.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                        WICBitmapInterpolationModeFant);
        }
        source = scaler.Get();
    }
    if (SUCCEEDED(result)) {
        result = factory->CreateFormatConverter(converter.GetAddressOf());
    }
    if (SUCCEEDED(result)) {
        result = converter->Initialize(source, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                       0.0, WICBitmapPaletteTypeCustom);
    }
    if (SUCCEEDED(result)) {
        result = converter->CopyPixels(nullptr, static_cast<UINT>(pitch),
                                       static_cast<UINT>(pitch) * static_cast<UINT>(height), pixels);
    }
    if (FAILED(result)) {
        return Status::failure(win32::failedWith("The JPEG decoder", result));
    }
    // The fourth byte is undefined in WIC's 32-bit BGR: the pixels are made opaque, as a picture keeps them.
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width; ++x) {
            row[4 * x + 3] = 0xFF;
        }
    }
    return {};
}

}  // namespace skorva
