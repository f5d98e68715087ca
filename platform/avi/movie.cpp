#include "platform/avi/movie.h"

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace skorva::avi {

std::unique_ptr<Movie> Movie::create(const std::string& path, Container container, Status& failure) {
    std::unique_ptr<Movie> movie(new Movie);
    AVFormatContext* raw = nullptr;
    movie->container_ = container;
    if (avformat_alloc_output_context2(&raw, muxerOf(movie->container_), nullptr, nullptr) < 0 ||
        raw == nullptr) {
        failure = Status::failure(std::strerror(ENOMEM));
        return nullptr;
    }
    movie->context_.reset(raw);
    // A new hidden file beside the name: an earlier movie of that name stays until this one is finished.
    movie->output_ = MovieOutput::create(path);
    if (!movie->output_) {
        failure = Status::failure(std::strerror(errno));
        return nullptr;
    }
    movie->context_->pb = movie->output_->io();
    movie->context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The MP4 muxer moves its index to the front at the end by reading the file back under this name; the
    // protocol is named, so that a folder with a colon in its name is not taken for one.
    av_freep(&movie->context_->url);
    movie->context_->url = av_strdup(("file:" + movie->output_->temporaryPath()).c_str());
    if (movie->context_->url == nullptr) {
        failure = Status::failure(std::strerror(ENOMEM));
        return nullptr;
    }
    return movie;
}

Movie::~Movie() {
    // A movie that was never finished is not left behind: the output removes its file.
    context_.reset();
}

Status Movie::start(AVRational frameRate, const std::function<Status(AVCodecParameters&)>& describe,
                    const std::string& muxerOptions) {
    AVStream* video = avformat_new_stream(context_.get(), nullptr);
    if (video == nullptr) {
        return Status::failure(std::strerror(ENOMEM));
    }
    video->time_base = frameRate;
    video->avg_frame_rate = av_inv_q(frameRate);
    if (Status described = describe(*video->codecpar); !described) {
        return described;
    }
    AVDictionary* options = nullptr;
    if (container_ != Container::Avi) {
        // Four-character codes are AVI's: the other containers name the codec their own way.
        video->codecpar->codec_tag = 0;
    }
    if (container_ == Container::Mp4) {
        // The index in front: a browser plays the movie while it loads.
        av_dict_set(&options, "movflags", "+faststart", 0);
    }
    if (!muxerOptions.empty()) {
        av_dict_parse_string(&options, muxerOptions.c_str(), "=", ":", 0);
    }
    const int written = avformat_write_header(context_.get(), &options);
    av_dict_free(&options);
    if (written < 0) {
        output_->fail(libraryText(written));
        return Status::failure(output_->failure());
    }
    stream_ = video;
    return {};
}

bool Movie::wantsGlobalHeader() const {
    return (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

AVRational Movie::timeBase() const {
    return stream_->time_base;
}

int Movie::streamIndex() const {
    return stream_->index;
}

Status Movie::write(AVPacket& packet) {
    keyFrames_.push_back((packet.flags & AV_PKT_FLAG_KEY) != 0);
    packet.stream_index = stream_->index;
    const int written = av_write_frame(context_.get(), &packet);
    if (written < 0) {
        output_->fail(libraryText(written));
        return Status::failure(output_->failure());
    }
    ++samples_;
    return {};
}

Status Movie::writeSample(std::span<const std::uint8_t> bytes, std::int64_t position, AVRational frameRate,
                          bool keyFrame) {
    if (!sample_) {
        sample_.reset(av_packet_alloc());
        if (!sample_) {
            return Status::failure(std::strerror(ENOMEM));
        }
    }
    // The muxer takes the bytes without a copy: av_write_frame does not keep the packet.
    AVPacket& sample = *sample_;
    sample.data = const_cast<std::uint8_t*>(bytes.data());
    sample.size = static_cast<int>(bytes.size());
    sample.pts = av_rescale_q(position, frameRate, stream_->time_base);
    sample.dts = sample.pts;
    sample.duration = av_rescale_q(1, frameRate, stream_->time_base);
    sample.flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
    sample.pos = -1;
    const Status written = write(sample);
    sample.data = nullptr;
    sample.size = 0;
    return written;
}

MovieEnd Movie::finish() {
    MovieEnd end;
    if (finished_) {
        end.status = Status::failure("The movie was finished already");
        return end;
    }
    finished_ = true;
    if (!started()) {
        const std::string failure = output_->failure();
        output_->discard();
        end.status = failure.empty() ? Status() : Status::failure(failure);
        return end;
    }
    // The index and the header's counts are written last; libavformat switches to OpenDML by itself when
    // the file grows past 1 GiB.
    if (output_->failure().empty()) {
        if (const int trailer = av_write_trailer(context_.get()); trailer < 0) {
            output_->fail(libraryText(trailer));
        }
    }
    context_.reset();
    // Only an AVI movie can be cut back to its last whole frame.
    const MoviePlacement placement = output_->finish(samples_, keyFrames_, container_ == Container::Avi);
    end.frames = placement.frames;
    end.savedAs = placement.savedAs;
    if (!placement.failure.empty()) {
        end.status = Status::failure(placement.failure);
    }
    return end;
}

}  // namespace skorva::avi
