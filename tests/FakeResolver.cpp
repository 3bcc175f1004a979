// Preloaded into the platform tests and every process they start, so that no row asks a name
// server: names under zeph.test are answered here, any other as usual. "stuck.zeph.test" is
// 127.0.0.1, but a lookup that starts while the file ZEPH_STUCK_LOOKUP names exists never returns;
// "silent.zeph.test" meets a name server that did not answer; no other name there exists.
// ZEPH_CONNECT_INSTEAD="FROM TO" sends IPv4 connections to port FROM to port TO instead, so that an
// installer with its address built in reaches the test's server.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

template <typename Function> Function* next(Function*, const char* name) {
    return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** found) {
    const char* flag = std::getenv("ZEPH_STUCK_LOOKUP");
    if (node && std::strcmp(node, "stuck.zeph.test") == 0) {
        while (flag && ::access(flag, F_OK) == 0) {
            ::pause();
        }
        node = "127.0.0.1";
    } else if (node && std::strstr(node, ".zeph.test")) {
        return std::strcmp(node, "silent.zeph.test") == 0 ? EAI_AGAIN : EAI_NONAME;
    }
    return next(&getaddrinfo, "getaddrinfo")(node, service, hints, found);
}

extern "C" int connect(int socket, const sockaddr* address, socklen_t length) {
    sockaddr_in moved{};
    unsigned from = 0, to = 0;
    const char* instead = std::getenv("ZEPH_CONNECT_INSTEAD");
    if (length == sizeof moved && instead && std::sscanf(instead, "%u %u", &from, &to) == 2 &&
        reinterpret_cast<const sockaddr_in*>(address)->sin_port == htons(from)) {
        moved = *reinterpret_cast<const sockaddr_in*>(address);
        moved.sin_port = htons(static_cast<uint16_t>(to));
        address = reinterpret_cast<const sockaddr*>(&moved);
    }
    return next(&connect, "connect")(socket, address, length);
}
