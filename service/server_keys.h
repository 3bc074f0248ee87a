#pragma once

#include <optional>
#include <string>

// The service's long-term CURVE key pair, both halves in Z85 (40 characters each).
struct ServerKeys {
    std::string publicKey;
    std::string secretKey;
};

// Where the secret key of `database` is kept: beside it, readable by its owner only.
std::string SecretKeyPath(const std::string& database);

// Reads the key pair kept beside `database`, making one when there is none yet. The secret
// never leaves this process: `error` names the file, never its content.
std::optional<ServerKeys> LoadOrCreateServerKeys(const std::string& database, std::string& error);
