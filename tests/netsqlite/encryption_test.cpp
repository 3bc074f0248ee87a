// The client and a real service with and without their key pair: what a listener on the path
// sees, and what an open refused in the handshake reports.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "netsqlite/base64.h"
#include "netsqlite/db_connection.h"
#include "netsqlite/text_codec.h"
#include "tests/support/case_printing.h"
#include "tests/support/test_service.h"

namespace {

constexpr char kOtherKey[] = "rq:rM>}U?@Lns47E1%kR.o@n%FcmmsL/@{H8]yf7";  // a valid key of nobody

int TcpSocket(const std::string& address, bool listening) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(5566);
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto* at = reinterpret_cast<const sockaddr*>(&where);
    const bool ready = listening ? bind(fd, at, sizeof where) == 0 && listen(fd, 4) == 0
                                 : connect(fd, at, sizeof where) == 0;
    if (ready) return fd;
    close(fd);
    return -1;
}

// Passes TCP bytes between clients and the service on a loopback address of its own, keeping a
// copy of every byte that crosses, either way.
class Relay {
public:
    explicit Relay(const std::string& serviceAddress) : m_serviceAddress(serviceAddress) {
        do m_address = testsupport::NextLoopbackAddress();
        while ((m_listener = TcpSocket(m_address, true)) < 0);
        m_thread = std::thread([this] { Run(); });
    }
    ~Relay() { Stop(); }

    std::string endpoint() const { return "tcp://" + m_address + ":5566"; }
    // Everything that crossed; the relay stops first.
    const std::string& Captured() {
        Stop();
        return m_captured;
    }

private:
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        for (const pollfd& end : m_ends) close(Fd(end));
        m_ends.clear();
        if (m_listener >= 0) close(m_listener);
        m_listener = -1;
    }

    void Run() {
        while (!m_stop) {
            std::vector<pollfd> ready = m_ends;
            ready.push_back({m_listener, POLLIN, 0});
            if (poll(ready.data(), ready.size(), 20) <= 0) continue;
            if (ready.back().revents & POLLIN) Accept();
            for (size_t i = 0; i + 1 < ready.size(); ++i)
                if (ready[i].revents & (POLLIN | POLLHUP)) Pass(i);
        }
    }

    // Ends come in pairs: the client's at an even index, the service's after it.
    void Accept() {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        const int service = TcpSocket(m_serviceAddress, false);
        if (client < 0 || service < 0) {
            if (client >= 0) close(client);
            if (service >= 0) close(service);
            return;
        }
        m_ends.push_back({client, POLLIN, 0});
        m_ends.push_back({service, POLLIN, 0});
    }

    // An end that has closed is kept negated, which poll() skips, until the relay stops.
    static int Fd(const pollfd& end) { return end.fd < 0 ? -1 - end.fd : end.fd; }

    void Pass(size_t from) {
        const int to = Fd(m_ends[from ^ 1]);
        char bytes[4096];
        const ssize_t n = read(m_ends[from].fd, bytes, sizeof bytes);
        if (n <= 0) {
            shutdown(to, SHUT_WR);
            m_ends[from].fd = -1 - m_ends[from].fd;
            return;
        }
        m_captured.append(bytes, static_cast<size_t>(n));
        (void)!write(to, bytes, static_cast<size_t>(n));
    }

    std::string m_serviceAddress;
    std::string m_address;
    int m_listener = -1;
    std::vector<pollfd> m_ends;
    std::string m_captured;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct ListenerCase : testcases::NamedCase {
    bool encrypted;
};

class WhatAListenerReads : public testing::TestWithParam<ListenerCase> {};

TEST_P(WhatAListenerReads, PasswordOperatorAndPlate) {
    testsupport::TestService service({true, "ledger", "ledger2026", {}, GetParam().encrypted});
    Relay relay(service.address());
    NetSqliteClient client;
    client.SetServerKey(GetParam().encrypted ? service.publicKey() : "");
    ASSERT_EQ(DbOpen(client, relay.endpoint(), service.user(), service.password()), ret_t(true, 0))
        << service.log();
    std::unique_ptr<NetSqliteResultSet> rows;
    // As the log-in asks: the operator's password in the SQL text.
    ASSERT_EQ(DbQuery(client,
                      "SELECT userName FROM userInfo WHERE userName = 'admin' AND pass = 'admin123'",
                      rows),
              ret_t(true, 0));
    ASSERT_EQ(DbQuery(client, "SELECT PlateID FROM tabvehicleinfo WHERE CustomerID = 1", rows),
              ret_t(true, 0));
    tstring plate;
    ASSERT_TRUE(rows->Next() && DbGetText("PlateID", plate, *rows));
    // A plate goes out in the SQL text as a search does, and comes back Base64 in the reply.
    ASSERT_EQ(DbQuery(client, "SELECT CustomerID FROM tabvehicleinfo WHERE PlateID = '" + plate + "'",
                      rows),
              ret_t(true, 0));
    client.Close();

    const std::string& wire = relay.Captured();
    ASSERT_FALSE(wire.empty());
    for (const std::string& secret :
         {std::string("ledger2026"), std::string("admin"), std::string("admin123"),
          GbkToUtf8(plate), netsqlite::Base64Encode(GbkToUtf8(plate))})
        EXPECT_EQ(wire.find(secret) != std::string::npos, !GetParam().encrypted) << secret;
}

// In clear the same relay reads everything: it does capture what crosses.
INSTANTIATE_TEST_SUITE_P(Transport, WhatAListenerReads,
                         testing::Values(ListenerCase{{"Encrypted"}, true},
                                         ListenerCase{{"InClear"}, false}),
                         testcases::kCaseName);

struct HandshakeCase : testcases::NamedCase {
    bool encryptedService;
    const char* clientKey;  // "service": the service's public key
    ret_t opened;
};

class Handshake : public testing::TestWithParam<HandshakeCase> {};

// A refusal is told apart from a service that does not answer (kDbConnectionLost after seconds).
TEST_P(Handshake, OpensOrSaysWhy) {
    const HandshakeCase& c = GetParam();
    testsupport::TestService service({false, "ledger", "ledger2026", {}, c.encryptedService});
    NetSqliteClient client;
    client.SetServerKey(std::string(c.clientKey) == "service" ? service.publicKey() : c.clientKey);
    EXPECT_EQ(DbOpen(client, service.endpoint(), service.user(), service.password()), c.opened)
        << service.log();
}

INSTANTIATE_TEST_SUITE_P(
    Transport, Handshake,
    testing::Values(
        HandshakeCase{{"ServiceKeyOpens"}, true, "service", {true, 0}},
        HandshakeCase{{"OtherKeyIsRefused"}, true, kOtherKey, {false, kDbServerKeyMismatch}},
        HandshakeCase{{"ClearClientIsToldToEncrypt"}, true, "", {false, kDbEncryptionRequired}},
        HandshakeCase{{"PlainServiceAdmitsClearClient"}, false, "", {true, 0}},
        // A desk holding a key never falls back to clear: not for a service in clear, nor for a
        // key mistyped into the settings.
        HandshakeCase{{"KeyAgainstPlainServiceIsRefused"}, false, kOtherKey,
                      {false, kDbServerKeyMismatch}},
        HandshakeCase{{"MistypedKeyIsRefused"}, false, "not a key", {false, kDbServerKeyMismatch}}),
    testcases::kCaseName);

}  // namespace
