#pragma once
// Owning holders for what xcb hands out: replies and errors are malloc'd blocks that the caller frees,
// the connection is closed with xcb_disconnect.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace skorva::x11 {

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

// A reply or an error of a request; empty when the request failed.
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

using ErrorPtr = std::unique_ptr<xcb_generic_error_t, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

}  // namespace skorva::x11
