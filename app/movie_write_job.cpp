#include "app/movie_write_job.h"

#include <exception>
#include <new>
#include <utility>

#include "movie/avi_writer.h"
#include "platform/services.h"
#include "platform/termination.h"
#include "platform/thread_priority.h"

namespace skorva {

MovieWriteJob::MovieWriteJob(Window window, MessageSink& messages)
    : window_(std::move(window)), calls_(*this), services_(calls_, services()), messages_(calls_, messages) {}

MovieWriteJob::~MovieWriteJob() {
    stop_ = true;
    calls_.close();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void MovieWriteJob::start() {
    thread_ = std::thread([this] { write(); });
}

void MovieWriteJob::write() {
    lowerThisThreadsPriority();
    {
        const ScopedThreadServices routed(services_.forWorker());
        try {
            aviwrite_Click(*this, messages_);
        } catch (const std::bad_alloc&) {
            messages_.show({"Not enough memory to go on writing the movie.", MessageIcon::Critical});
        } catch (const std::exception& error) {
            messages_.show({error.what(), MessageIcon::Critical});
        }
    }
    emit finished();
}

MovieWriteJob::Progress MovieWriteJob::takeProgress() {
    const std::lock_guard lock(progressMutex_);
    progressPosted_ = false;
    return std::exchange(progress_, {});
}

template <typename Change>
void MovieWriteJob::report(Change change) {
    bool post = false;
    {
        const std::lock_guard lock(progressMutex_);
        change(progress_);
        post = !std::exchange(progressPosted_, true);
    }
    // One signal on its way at a time: the window takes the latest of everything when it comes.
    if (post) {
        emit progressed();
    }
}

void MovieWriteJob::ReportedFrameList::setPath(const std::string& folder) {
    FolderFrameList::setPath(folder);
    job_.report([&](Progress& progress) {
        progress.listing = names();
        progress.folder = folder;
        progress.pattern = pattern();
        progress.listIndex.reset();
    });
}

void MovieWriteJob::ReportedFrameList::setListIndex(std::int32_t index) {
    FolderFrameList::setListIndex(index);
    job_.report([index](Progress& progress) { progress.listIndex = index; });
}

void MovieWriteJob::showPicture(const Picture& picture) {
    shown_ = picture;
    report([&picture](Progress& progress) { progress.picture = picture; });
}

void MovieWriteJob::writingFrame(std::int32_t index, std::int32_t count) {
    if (beforeFrame) {
        beforeFrame(index);
    }
    report([index, count](Progress& progress) { progress.frame = std::pair{index, count}; });
}

bool MovieWriteJob::stopRequested() {
    return stop_ || terminationRequested();
}

}  // namespace skorva
