#pragma once
// Windows Imaging Component for the calling thread: COM made ready once per thread (frames are encoded on
// the tick's side thread too), one factory per thread, and memory streams over a span of bytes.

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <span>
#include <string>

namespace skorva::win32 {

using Microsoft::WRL::ComPtr;

// The factory of the calling thread; null when WIC cannot be had (then `failure` says why).
IWICImagingFactory* imagingFactory(std::string& failure);

// A read-only stream over a copy of `bytes`.
ComPtr<IStream> streamOver(std::span<const std::uint8_t> bytes);

// "<what>: <the system's text>" for a failed HRESULT.
std::string failedWith(const char* what, HRESULT result);

}  // namespace skorva::win32
