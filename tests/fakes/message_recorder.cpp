#include "tests/fakes/message_recorder.h"

namespace skorva::testing {

std::vector<std::string> MessageRecorder::texts() const {
    std::vector<std::string> result;
    result.reserve(messages.size());
    for (const auto& message : messages) {
        result.push_back(message.text);
    }
    return result;
}

}  // namespace skorva::testing
