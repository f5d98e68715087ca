#include "imaging/raised_error.h"

#include <new>
#include <stdexcept>

#include "platform/platform_error.h"

namespace skorva {

RaisedError describeRaised(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const PlatformError& platform) {
        return {platform.number(), platform.what()};
    } catch (const std::bad_alloc&) {
        return {7, "Out of memory"};
    } catch (const std::exception& other) {
        return {5, other.what()};
    } catch (...) {
        return {5, "Unknown error"};
    }
}

Message RaisedErrorMessage(std::string_view literal) {
    const RaisedError raised = describeRaised(std::current_exception());
    return {std::string(literal) + std::to_string(raised.number) + raised.description, MessageIcon::None};
}

}  // namespace skorva
