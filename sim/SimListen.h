// The simulator's TCP side for --listen: a listening socket, its clients, and what a client gets while
// another one is served.
#pragma once

#include "UniqueFd.h"

#include <optional>
#include <string>

namespace quellix {

struct Listener {
    UniqueFd fd;
    std::string address; // as bound, the port chosen when 0 was asked: "127.0.0.1:40123", "[::1]:40123"
};

// Listens on "HOST:PORT" ("[IPV6]:PORT" for an IPv6 address); nothing, with `error`, when it cannot.
std::optional<Listener> OpenListener(const std::string& address, std::string& error);
// The next client, non-blocking, its small replies sent at once rather than gathered.
UniqueFd AcceptClient(int listener);
// A client that comes while another is served hears what ser2net says then, and is closed.
void RefuseClient(int listener);

} // namespace quellix
