#pragma once

#include <cstdint>

// What the operator is to change when the service refused the connection's handshake; null for
// every other failure of an open.
const char* HandshakeAdvice(int32_t code);
