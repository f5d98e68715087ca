#pragma once
// The window's dialogs and message boxes for a worker thread: each call runs on the window's thread with
// the service the window has, and the worker waits for its answer. When the window takes no more calls
// (it is going), a dialog counts as cancelled and a box goes to the log.

#include "app/window_calls.h"
#include "core/message_sink.h"
#include "platform/services.h"

namespace skorva {

class RoutedServices {
  public:
    // `window`: the services in force on the window's thread.
    RoutedServices(WindowCalls& calls, const Services& window);
    RoutedServices(const RoutedServices&) = delete;
    RoutedServices& operator=(const RoutedServices&) = delete;

    // For ScopedThreadServices on the worker.
    Services forWorker();

  private:
    class Boxes final : public MessageBoxes {
      public:
        Boxes(WindowCalls& calls, MessageBoxes& window) : calls_(calls), window_(window) {}
        void show(const std::string& text, MessageIcon icon) override;

      private:
        WindowCalls& calls_;
        MessageBoxes& window_;
    };
    class Dialogs final : public FileDialogs {
      public:
        Dialogs(WindowCalls& calls, FileDialogs& window) : calls_(calls), window_(window) {}
        bool run(FileDialogKind kind, OpenFileName& record) override;

      private:
        WindowCalls& calls_;
        FileDialogs& window_;
    };
    class Chooser final : public CodecChooser {
      public:
        Chooser(WindowCalls& calls, CodecChooser& window) : calls_(calls), window_(window) {}
        bool choose(WindowHandle owner, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& offered,
                    CompressOptions& options) override;
        bool choose(WindowHandle owner, std::uint32_t icmfFlags, const std::vector<OfferedCodec>& offered,
                    const std::string& notOffered, CompressOptions& options) override;

      private:
        WindowCalls& calls_;
        CodecChooser& window_;
    };

    Boxes boxes_;
    Dialogs dialogs_;
    Chooser chooser_;
};

// A worker's messages, shown by `window` on the window's thread; to the log once it takes no more calls.
class RoutedMessages final : public MessageSink {
  public:
    RoutedMessages(WindowCalls& calls, MessageSink& window) : calls_(calls), window_(window) {}
    void show(const Message& message) override;
    void note(const Message& message) override;

  private:
    WindowCalls& calls_;
    MessageSink& window_;
};

}  // namespace skorva
