#include "service/server_keys.h"

#include <fcntl.h>
#include <unistd.h>
#include <zmq.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kZ85KeyLength = 40;
constexpr char kNotAKey[] = ": not a secret key (40 characters of Z85)";

std::string Reason(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// Made beside the key under a name of its own, then linked into place: no other process ever
// reads a half-written key, and of two services starting at once the first one's key stays.
bool CreateSecretKeyFile(const std::string& path, const std::string& secret, std::string& error) {
    const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = Reason(temporary);
        return false;
    }
    const bool written = WriteAll(fd, secret + "\n") && fsync(fd) == 0;
    if (!written) error = Reason(temporary);
    close(fd);
    const bool linked = written && (link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST);
    if (written && !linked) error = Reason(path);
    unlink(temporary.c_str());
    return linked;
}

std::optional<std::string> ReadSecretKey(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason(path);
        return std::nullopt;
    }
    char text[kZ85KeyLength + 2] = {};
    const ssize_t length = read(fd, text, sizeof text);
    close(fd);
    const std::string secret(text, length > 0 ? static_cast<size_t>(length) : 0);
    if (secret.size() < kZ85KeyLength ||
        secret.find_first_not_of('\n', kZ85KeyLength) != std::string::npos) {
        error = path + kNotAKey;
        return std::nullopt;
    }
    return secret.substr(0, kZ85KeyLength);
}

}  // namespace

std::string SecretKeyPath(const std::string& database) {
    return database + ".key";
}

std::optional<ServerKeys> LoadOrCreateServerKeys(const std::string& database, std::string& error) {
    const std::string path = SecretKeyPath(database);
    if (access(path.c_str(), F_OK) != 0) {
        char publicKey[kZ85KeyLength + 1], secretKey[kZ85KeyLength + 1];
        if (zmq_curve_keypair(publicKey, secretKey) != 0) {
            error = "this ZeroMQ cannot make CURVE keys";
            return std::nullopt;
        }
        if (!CreateSecretKeyFile(path, secretKey, error)) return std::nullopt;
    }
    const auto secret = ReadSecretKey(path, error);
    if (!secret) return std::nullopt;
    char publicKey[kZ85KeyLength + 1];
    if (zmq_curve_public(publicKey, secret->c_str()) != 0) {
        error = path + kNotAKey;
        return std::nullopt;
    }
    return ServerKeys{publicKey, *secret};
}
