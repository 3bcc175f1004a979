// Preloaded into the platform tests and every process they start, so that no row asks a name
// server: names under zeph.test are answered here, any other as usual. "stuck.zeph.test" is
// 127.0.0.1, but a lookup that starts while the file ZEPH_STUCK_LOOKUP names exists never returns
// (and marks the file with a byte);
// "silent.zeph.test" meets a name server that did not answer; no other name there exists.
// ZEPH_CONNECT_INSTEAD="FROM TO" sends connections to 127.0.0.1:FROM to port TO, so that an
// installer with its address built in reaches the test's server.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <netdb.h>
#include <string_view>
#include <unistd.h>

template <typename Function> Function* next(Function*, const char* name) {
    return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** found) {
    const std::string_view name = node ? node : "";
    if (!name.ends_with(".zeph.test")) {
        return next(&getaddrinfo, "getaddrinfo")(node, service, hints, found);
    }
    if (name == "silent.zeph.test") {
        return EAI_AGAIN;
    }
    if (name != "stuck.zeph.test") {
        return EAI_NONAME;
    }
    if (const char* flag = std::getenv("ZEPH_STUCK_LOOKUP"); flag && ::access(flag, F_OK) == 0) {
        ::truncate(flag, 1);
        for (;;) {
            ::pause();
        }
    }
    return next(&getaddrinfo, "getaddrinfo")("127.0.0.1", service, hints, found);
}

extern "C" int connect(int socket, const sockaddr* address, socklen_t length) {
    sockaddr_in moved{};
    unsigned from = 0, to = 0;
    const char* instead = std::getenv("ZEPH_CONNECT_INSTEAD");
    if (instead && std::sscanf(instead, "%u %u", &from, &to) == 2 &&
        address->sa_family == AF_INET && length == sizeof moved) {
        moved = *reinterpret_cast<const sockaddr_in*>(address);
        if (moved.sin_addr.s_addr == htonl(INADDR_LOOPBACK) && ntohs(moved.sin_port) == from) {
            moved.sin_port = htons(static_cast<uint16_t>(to));
            address = reinterpret_cast<const sockaddr*>(&moved);
        }
    }
    return next(&connect, "connect")(socket, address, length);
}
