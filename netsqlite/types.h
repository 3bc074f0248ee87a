#pragma once

#include <cstdint>
#include <string>

// Narrow text in memory is GBK; the wire and the database carry UTF-8.
using tstring = std::string;

// Result of every store function and every task.
struct ret_t {
    bool ok = false;
    int32_t code = 0;

    ret_t() = default;
    ret_t(bool ok_, int32_t code_) : ok(ok_), code(code_) {}

    bool operator==(const ret_t& other) const { return ok == other.ok && code == other.code; }
    bool operator!=(const ret_t& other) const { return !(*this == other); }
};

// The service did not answer in time, or a request could not be sent: the caller reconnects.
constexpr int32_t kDbConnectionLost = 2006;

// An open refused in the handshake, before any request: the settings' Db/ServerKey is not the
// service's public key, or there is none and the service admits only encrypted clients.
constexpr int32_t kDbServerKeyMismatch = 2101;
constexpr int32_t kDbEncryptionRequired = 2102;
