#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "service/database.h"
#include "service/frame.h"

// A query on its way to a reader and back.
struct ReaderJob {
    std::string peer;
    Message request;  // the envelope and the request frame "query:SQL\0"
    std::optional<std::string> reply;  // nothing: the writer must answer it
    std::chrono::steady_clock::duration took;
};

// Read-only queries on connections of their own, each on its own thread: in WAL mode they read
// while the service's one writer writes, and a long one holds up nobody else.
class ReaderPool {
public:
    ReaderPool(void* context, std::vector<std::unique_ptr<Database>> readers);
    ~ReaderPool();
    ReaderPool(const ReaderPool&) = delete;
    ReaderPool& operator=(const ReaderPool&) = delete;

    bool HasIdle() const { return !m_idle.empty(); }
    void Start(std::unique_ptr<ReaderJob> job);
    // The sockets on which finished jobs come back, in reader order.
    size_t size() const { return m_readers.size(); }
    void* socket(size_t reader) const { return m_readers[reader]->socket; }
    std::unique_ptr<ReaderJob> Finished(size_t reader);

private:
    // Jobs change hands under the reader's mutex; the pair socket only wakes the other side.
    // ZeroMQ's own ordering would suffice, but tools that look for races cannot see it.
    struct Reader {
        std::unique_ptr<Database> database;
        void* socket;  // the service's end of the pair
        std::thread thread;
        std::mutex mutex;
        std::unique_ptr<ReaderJob> inbox;   // none on a wake-up tells the reader to end
        std::unique_ptr<ReaderJob> outbox;
    };

    static void Serve(void* context, std::string endpoint, Reader* reader);

    std::vector<std::unique_ptr<Reader>> m_readers;
    std::vector<size_t> m_idle;
};
