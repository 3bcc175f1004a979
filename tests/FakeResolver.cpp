// Preloaded into the platform tests and every process they start, so that no row asks a name
// server: names under zeph.test are answered here, any other as usual. "stuck.zeph.test" is
// 127.0.0.1, but a lookup that starts while a file of that name is in the working folder never
// returns; "silent.zeph.test" meets a name server that did not answer; no other name there exists.
// ZEPH_CONNECT_INSTEAD="FROM TO" sends IPv4 connections to port FROM to port TO instead, so that an
// installer with its address built in reaches the test's server.
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** found) {
    if (node && std::strcmp(node, "stuck.zeph.test") == 0) {
        while (::access("stuck.zeph.test", F_OK) == 0) {
            ::pause();
        }
        node = "127.0.0.1";
    } else if (node && std::strstr(node, ".zeph.test")) {
        return std::strcmp(node, "silent.zeph.test") == 0 ? EAI_AGAIN : EAI_NONAME;
    }
    return reinterpret_cast<decltype(&getaddrinfo)>(::dlsym(RTLD_NEXT, "getaddrinfo"))(
        node, service, hints, found);
}

extern "C" int connect(int socket, const sockaddr* address, socklen_t length) {
    sockaddr_in moved{};
    const char* instead = std::getenv("ZEPH_CONNECT_INSTEAD");
    if (length == sizeof moved && instead &&
        ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port) == std::atoi(instead)) {
        moved = *reinterpret_cast<const sockaddr_in*>(address);
        moved.sin_port = htons(static_cast<uint16_t>(std::atoi(std::strchr(instead, ' '))));
        address = reinterpret_cast<const sockaddr*>(&moved);
    }
    return reinterpret_cast<decltype(&connect)>(::dlsym(RTLD_NEXT, "connect"))(socket, address,
                                                                               length);
}
