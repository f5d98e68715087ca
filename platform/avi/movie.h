#pragma once
// One movie being written: the muxer of its container (AVI, MP4, Matroska) and
// its one video stream, written to a hidden file beside the movie's name. finish() writes the index and the
// header's counts, puts the movie in its place and says how that went; a movie never finished is removed.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

#include "core/status.h"
#include "platform/avi/container.h"
#include "platform/avi/ffmpeg_handles.h"
#include "platform/avi/movie_output.h"

namespace skorva::avi {

// What became of a movie.
struct MovieEnd {
    Status status;            // why the movie is not at its name whole, in the system's words
    std::int64_t frames = 0;  // the frames the movie on disk holds
    std::string savedAs;      // where that movie is; empty when none is left
};

class Movie {
  public:
    // A movie in `container` to be written under `path`; null, with the reason in `failure`, when no file
    // can be made beside it.
    static std::unique_ptr<Movie> create(const std::string& path, Container container, Status& failure);
    Movie(const Movie&) = delete;
    Movie& operator=(const Movie&) = delete;
    ~Movie();

    // Adds the one video stream, its parameters set by `describe`, and writes the header. `frameRate` is
    // the stream's time unit (1 / frames a second); `muxerOptions` are the muxer's, as "key=value:...".
    Status start(AVRational frameRate, const std::function<Status(AVCodecParameters&)>& describe,
                 const std::string& muxerOptions);
    bool started() const { return stream_ != nullptr; }
    Container container() const { return container_; }
    // Whether encoders must put their stream's set-up into the header rather than into the samples.
    bool wantsGlobalHeader() const;
    // The stream's time base, which the muxer chooses: packets are stamped in it.
    AVRational timeBase() const;
    int streamIndex() const;

    // True once a write failed: the disk, not the encoder, is what went wrong.
    bool writeFailed() const { return !output_->failure().empty(); }

    // Muxes one packet already stamped in timeBase().
    Status write(AVPacket& packet);
    // Muxes `bytes` as the sample of frame `position` (counted in `frameRate` units), without a copy.
    Status writeSample(std::span<const std::uint8_t> bytes, std::int64_t position, AVRational frameRate,
                       bool keyFrame);

    // Writes the index and the header's counts, closes the file and puts the movie in its place; a
    // movie whose stream never started is removed. Once.
    MovieEnd finish();

  private:
    Movie() = default;

    Container container_ = Container::Avi;
    std::unique_ptr<MovieOutput> output_;
    FormatContextPtr context_;  // freed before the output it writes to
    AVStream* stream_ = nullptr;
    PacketPtr sample_;
    bool finished_ = false;
    std::int64_t samples_ = 0;     // handed to the muxer and taken
    std::vector<bool> keyFrames_;  // of every sample handed to the muxer, in order
};

}  // namespace skorva::avi
