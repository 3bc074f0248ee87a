#pragma once
// Helpers for tests that open real windows on Qt's offscreen platform. No Qt in this header.
#include <functional>

namespace guisupport {

// Creates the application on the offscreen platform unless another platform was asked for.
void EnsureApplication();

// Handles pending window messages once.
void ProcessMessages();

// Handles window messages until done() holds or timeoutMs passes; returns done().
bool ProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs = 3000);

}  // namespace guisupport
