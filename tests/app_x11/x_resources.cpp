#include "tests/app_x11/x_resources.h"

#include <unistd.h>
#include <xcb/res.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace skorva::testing {
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

std::string atomName(xcb_connection_t* c, xcb_atom_t atom) {
    Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
    if (!reply) {
        return "atom " + std::to_string(atom);
    }
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

// The process id the server knows for the client with this resource base, or -1.
long pidOf(xcb_connection_t* c, std::uint32_t resourceBase) {
    xcb_res_client_id_spec_t spec{resourceBase, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    Reply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &spec), nullptr));
    if (!reply) {
        return -1;
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            return static_cast<long>(*xcb_res_client_id_value_value(it.data));
        }
    }
    return -1;
}

}  // namespace

std::optional<ClientResources> resourcesOfThisProcess(const XServer& server) {
    xcb_connection_t* c = server.get();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_res_id);
    if (extension == nullptr || extension->present == 0) {
        return std::nullopt;
    }
    Reply<xcb_res_query_clients_reply_t> clients(
        xcb_res_query_clients_reply(c, xcb_res_query_clients(c), nullptr));
    if (!clients) {
        return std::nullopt;
    }
    ClientResources result;
    const long self = static_cast<long>(::getpid());
    for (auto it = xcb_res_query_clients_clients_iterator(clients.get()); it.rem > 0;
         xcb_res_client_next(&it)) {
        const std::uint32_t base = it.data->resource_base;
        if (pidOf(c, base) != self) {
            continue;
        }
        ++result.clients;
        Reply<xcb_res_query_client_resources_reply_t> resources(
            xcb_res_query_client_resources_reply(c, xcb_res_query_client_resources(c, base), nullptr));
        if (!resources) {
            continue;
        }
        for (auto type = xcb_res_query_client_resources_types_iterator(resources.get()); type.rem > 0;
             xcb_res_type_next(&type)) {
            result.byType[atomName(c, type.data->resource_type)] += type.data->count;
        }
    }
    return result;
}

}  // namespace skorva::testing
