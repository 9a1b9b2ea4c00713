#include "SimListen.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace quellix {

namespace {

bool SplitHostPort(const std::string& address, std::string& host, std::string& port) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == address.size())
        return false;
    host = address.substr(0, colon);
    port = address.substr(colon + 1);
    if (host.front() == '[') {
        if (host.back() != ']')
            return false;
        host = host.substr(1, host.size() - 2);
    }
    return true;
}

std::string BoundAddress(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char host[INET6_ADDRSTRLEN] = {};
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (address.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
        // Appended, not "[" + std::string(host): GCC 12 at -O3 warns of a restrict overlap in the
        // insert that the operator makes (a false alarm, but an error under -Werror).
        std::string bound = "[";
        bound += host;
        bound += "]:";
        bound += std::to_string(ntohs(a->sin6_port));
        return bound;
    }
    const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
    ::inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a->sin_port));
}

} // namespace

std::optional<Listener> OpenListener(const std::string& address, std::string& error) {
    std::string host, port;
    if (!SplitHostPort(address, host, port)) {
        error = "--listen " + address + ": write HOST:PORT, e.g. 127.0.0.1:4001 or [::1]:0";
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        error = "--listen " + address + ": " + ::gai_strerror(rc);
        return std::nullopt;
    }
    Listener listener;
    error = "--listen " + address + ": no address to listen on";
    for (const addrinfo* a = found; a && !listener.fd.IsValid(); a = a->ai_next) {
        UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        const int on = 1;
        ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (fd.IsValid() && ::bind(fd.Get(), a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd.Get(), 4) == 0)
            listener.fd = std::move(fd);
        else
            error = "--listen " + address + ": " + std::strerror(errno);
    }
    ::freeaddrinfo(found);
    if (!listener.fd.IsValid())
        return std::nullopt;
    listener.address = BoundAddress(listener.fd.Get());
    return listener;
}

UniqueFd AcceptClient(int listener) {
    UniqueFd client(::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    const int on = 1;
    if (client.IsValid())
        ::setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return client;
}

void RefuseClient(int listener) {
    const UniqueFd client = AcceptClient(listener);
    static constexpr char busy[] = "Port already in use\r\n";
    if (client.IsValid() && ::write(client.Get(), busy, sizeof busy - 1) < 0)
        return; // the client has gone already
}

} // namespace quellix
