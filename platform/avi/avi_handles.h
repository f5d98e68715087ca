#pragma once
// The handles of the AVI library: what a file handle and a stream handle stand for, and the registry that
// maps handles to them. The registry's lock is held only to find a handle; a file's own lock keeps the calls
// on one movie one at a time, so that a long encode of one movie holds up no other.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/avi/avifile.h"
#include "platform/avi/frame_encoder.h"
#include "platform/avi/frame_format.h"
#include "platform/avi/movie.h"

namespace skorva::avi {

inline constexpr std::uint32_t kVids = makeFourcc("vids");

// One open movie file. Its mutex keeps the calls on it one at a time; the registry's is held only to find
// a handle, so that a long encode of one movie holds up no other.
struct FileState {
    std::mutex mutex;
    std::unique_ptr<Movie> movie;
    bool hasStream = false;
    bool finished = false;

    ~FileState() {
        if (!finished && movie) {
            try {
                movie->finish();
            } catch (const std::exception&) {
                // A release cannot report: a movie that could not be finished is not left behind.
            }
        }
    }
};

// A stream handle. A source stream writes full frames; a compressed stream made over it encodes them.
struct StreamState {
    std::shared_ptr<FileState> file;
    std::shared_ptr<StreamState> source;  // set for a compressed stream
    AVISTREAMINFO info;
    std::unique_ptr<FrameEncoder> encoder;
    FrameFormat format;
    bool formatSet = false;
    bool flushed = false;
    std::int64_t nextPosition = 0;
    std::string lastError;  // why the last write failed

    // Never made or destroyed while its file's mutex is held.
    ~StreamState() {
        if (file) {
            const std::lock_guard lock(file->mutex);
            try {
                finishEncoding();
            } catch (const std::exception&) {
                // A release cannot report: the movie keeps the frames it has.
            }
        }
    }

    AVRational frameRate() const {
        return AVRational{static_cast<int>(info.dwScale), static_cast<int>(info.dwRate)};
    }

    // Hands the encoder's last frames to the movie, once.
    void finishEncoding() {
        if (encoder && formatSet && !flushed && file && !file->finished && file->movie->started()) {
            static_cast<void>(encoder->flush(*file->movie));
        }
        flushed = true;
    }
};

struct Registry {
    std::mutex mutex;
    int uses = 0;
    std::uint32_t lastHandle = 0;
    std::map<PAVIFILE, std::shared_ptr<FileState>> files;
    std::map<PAVISTREAM, std::shared_ptr<StreamState>> streams;

    std::uint32_t newHandle() {
        do {
            ++lastHandle;
        } while (lastHandle == 0 || files.count(lastHandle) != 0 || streams.count(lastHandle) != 0);
        return lastHandle;
    }
    std::shared_ptr<StreamState> stream(PAVISTREAM handle) {
        const auto found = streams.find(handle);
        return found == streams.end() ? nullptr : found->second;
    }
};

// What a library call that ran out of memory, or met a failure it did not expect, returns instead of
// throwing into its caller; `why` gets the reason.
template <typename Call>
std::int32_t resultOfCall(Call call, std::string* why = nullptr) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        if (why != nullptr) {
            *why = "Not enough memory";
        }
        return AVIERR_MEMORY;
    } catch (const std::exception& error) {
        if (why != nullptr) {
            *why = error.what();
        }
        return AVIERR_ERROR;
    }
}

Registry& registry();
// The stream of a handle; null when it names none.
std::shared_ptr<StreamState> findStream(PAVISTREAM handle);
// The library's result for why no encoder could be made.
std::int32_t resultOf(EncoderTrouble trouble);

// Takes a handle out of the registry: the references left to what it named, 0 when it named nothing. The
// last reference goes outside the registry's lock: it may finish a movie.
template <typename Handles>
std::uint32_t release(Handles Registry::*handles, std::uint32_t handle) {
    typename Handles::mapped_type held;
    {
        Registry& all = registry();
        const std::lock_guard lock(all.mutex);
        const auto found = (all.*handles).find(handle);
        if (found == (all.*handles).end()) {
            return 0;
        }
        held = std::move(found->second);
        (all.*handles).erase(found);
    }
    return static_cast<std::uint32_t>(held.use_count() - 1);
}

}  // namespace skorva::avi
