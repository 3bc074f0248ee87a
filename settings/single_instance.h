#pragma once

#include <string>

// The lock one running client holds for the whole machine, across all users.
constexpr const char kSingleInstanceName[] = "Global\\TallyHost";

// Holds the single-instance lock until released or destroyed. The lock is a name in the abstract
// Unix socket namespace: the kernel frees it when the process ends however it ends, so a crash
// never blocks the next start, and a program the client starts does not inherit it.
class SingleInstanceHandle {
public:
    SingleInstanceHandle() = default;
    ~SingleInstanceHandle() { Release(); }
    SingleInstanceHandle(const SingleInstanceHandle&) = delete;
    SingleInstanceHandle& operator=(const SingleInstanceHandle&) = delete;

    bool IsHeld() const { return m_socket >= 0; }
    void Release();

private:
    friend bool AcquireSingleInstance(SingleInstanceHandle& handle, const std::string& name);
    int m_socket = -1;
};

// True when no other process holds the lock; handle then holds it. When the lock cannot be set up
// at all the result is also true, with nothing held: the client runs unguarded.
bool AcquireSingleInstance(SingleInstanceHandle& handle,
                           const std::string& name = kSingleInstanceName);
