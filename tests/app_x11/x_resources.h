#pragma once
// What this process holds in the X server, counted by the server itself through the X-Resource
// extension: every client connection whose peer is this process, and its resources by type.

#include <map>
#include <optional>
#include <string>

#include "tests/x11/x11_test_support.h"

namespace skorva::testing {

struct ClientResources {
    int clients = 0;
    // Resource type name -> count, summed over this process's connections.
    std::map<std::string, std::uint32_t> byType;
};

// Nothing when the server has no X-Resource extension.
std::optional<ClientResources> resourcesOfThisProcess(const XServer& server);

}  // namespace skorva::testing
