#include "imaging/save_jpg.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <span>
#include <thread>

#include "imaging/replace_file.h"
#include "platform/jpeg/jpeg_encoder.h"

namespace skorva {
namespace {

constexpr int kTurboJpegFailure = -1;

// One encoder per thread, kept for the thread's life: SaveJPG runs for every captured frame, and the
// encoder keeps its compressor and worst-case output buffer from one frame to the next.
JpegEncoder& threadEncoder() {
    thread_local JpegEncoder encoder;
    return encoder;
}

// One long-lived thread that encodes while the caller does something else: a thread per frame would cost
// a new encoder and a new worst-case buffer each time.
class EncodingThread {
  public:
    EncodingThread() : thread_([this] { serve(); }) {}
    ~EncodingThread() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    EncodingThread(const EncodingThread&) = delete;
    EncodingThread& operator=(const EncodingThread&) = delete;

    // Runs `job` on the thread and `meanwhile` here; returns when both are done.
    void runAlongside(const std::function<void()>& job, const std::function<void()>& meanwhile) {
        {
            std::lock_guard lock(mutex_);
            job_ = &job;
            done_ = false;
        }
        wake_.notify_all();
        // The job refers to the caller's stack: it must be finished before anything leaves this call.
        std::exception_ptr failure;
        try {
            meanwhile();
        } catch (...) {
            failure = std::current_exception();
        }
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [this] { return done_; });
        if (failure) {
            std::rethrow_exception(failure);
        }
    }

  private:
    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || job_ != nullptr; });
            if (job_ == nullptr) {
                return;
            }
            const std::function<void()>* job = job_;
            lock.unlock();
            try {
                (*job)();
            } catch (...) {
                // The job reports through its own result; nothing may end this thread.
            }
            lock.lock();
            job_ = nullptr;
            done_ = true;
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void()>* job_ = nullptr;
    bool done_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// The fixed warning guesses at the cause; the system's own reason follows it, so that a deleted folder
// or a read-only disk is told apart from a closed window.
Status writeFailed(const std::string& reason) {
    return Status::failure(
        "Failed to save to JPG, seems webcam window is closed or no space left. Reason: " + reason + ".",
        MessageIcon::Exclamation);
}

}  // namespace

namespace {

// Encodes and writes; `encode` runs the compression, here or on the encoding thread.
Status saveJpeg(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
                const std::function<bool(const std::function<bool(JpegEncoder&)>&)>& encode) {
    const std::int32_t width = section.Width();
    const std::int32_t height = section.Height();
    // The section's rows as they are: the grabbed picture's own while the section shares them, so that no
    // pass over the pixels comes between the grab and the encoder.
    const cDIBSection::EncoderRows rows = section.RowsToEncode();
    bool initialised = true;
    bool encoded = false;
    std::string reason = "the frame has no pixels";
    std::span<const std::uint8_t> output;
    const bool ran = encode([&](JpegEncoder& encoder) {
        if (!encoder.ready()) {
            initialised = false;
            return false;
        }
        // A closed viewer window leaves a section without pixels: nothing to encode.
        if (rows.first == nullptr || width <= 0 || height <= 0 || fileName.empty()) {
            return false;
        }
        // The pitch steps over the row padding and the row order is the encoder's to follow, so the encoder
        // reads the memory in place.
        const Status status = encoder.encode({.pixels = rows.first,
                                              .width = width,
                                              .height = height,
                                              .pitch = rows.pitch,
                                              .format = rows.fourBytes ? JpegPixels::Bgrx : JpegPixels::Bgr,
                                              .bottomUp = rows.bottomUp},
                                             JpegSubsampling::Quarter420, quality);
        if (!status) {
            reason = status.text();
            return false;
        }
        output = encoder.output();
        encoded = true;
        return true;
    });
    if (!initialised) {
        return Status::failure("Failed to initialise the IJL library: " + std::to_string(kTurboJpegFailure),
                               MessageIcon::Exclamation);
    }
    // No fsync: a frame that a power cut loses is not worth a disk flush every second; what must never
    // happen, a truncated frame left after a failed write, the write-and-rename already rules out.
    if (!ran || !encoded) {
        return writeFailed(reason);
    }
    if (const Status replaced = replaceFile(fileName, output); !replaced) {
        return writeFailed(replaced.text());
    }
    return {};
}

}  // namespace

Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality) {
    return saveJpeg(section, fileName, quality, [](const std::function<bool(JpegEncoder&)>& compress) {
        return compress(threadEncoder());
    });
}

Status SaveJPG(const cDIBSection& section, const std::string& fileName, std::int32_t quality,
               const std::function<void()>& meanwhile) {
    static EncodingThread encodingThread;
    return saveJpeg(section, fileName, quality, [&](const std::function<bool(JpegEncoder&)>& compress) {
        bool result = false;
        // The output buffer belongs to the encoding thread's encoder and stays valid until its next job.
        encodingThread.runAlongside([&] { result = compress(threadEncoder()); }, meanwhile);
        return result;
    });
}

}  // namespace skorva
