#include "settings/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

void SingleInstanceHandle::Release() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
}

bool AcquireSingleInstance(SingleInstanceHandle& handle, const std::string& name) {
    handle.Release();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading NUL puts the name in the abstract namespace: no file, no permissions, per machine.
    if (name.size() + 1 > sizeof address.sun_path) return true;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const bool heldElsewhere = errno == EADDRINUSE;
        ::close(fd);
        return !heldElsewhere;
    }
    handle.m_socket = fd;
    return true;
}
