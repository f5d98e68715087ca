#include "platform/win32/wic.h"

#include <objbase.h>
#include <shlwapi.h>

#include "platform/win32/system_errors.h"

namespace skorva::win32 {
namespace {

// COM for as long as the thread lives.
class ComApartment {
  public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    // A thread that chose another apartment before still has COM.
    bool ready() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

}  // namespace

IWICImagingFactory* imagingFactory(std::string& failure) {
    thread_local ComApartment apartment;
    thread_local ComPtr<IWICImagingFactory> factory;
    if (!apartment.ready()) {
        failure = failedWith("COM", apartment.result());
        return nullptr;
    }
    if (!factory) {
        const HRESULT made = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_PPV_ARGS(factory.GetAddressOf()));
        if (FAILED(made)) {
            failure = failedWith("Windows Imaging Component", made);
            return nullptr;
        }
    }
    return factory.Get();
}

ComPtr<IStream> streamOver(std::span<const std::uint8_t> bytes) {
    ComPtr<IStream> stream;
    stream.Attach(::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    return stream;
}

std::string failedWith(const char* what, HRESULT result) {
    return std::string(what) + ": " + systemText(static_cast<unsigned long>(result));
}

}  // namespace skorva::win32
