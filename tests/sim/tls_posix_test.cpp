// A stop of the TLS simulator stays prompt while peers hang in their handshake.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "SimClient.h"

using namespace std::chrono_literals;

TEST(SimTls, StopReturnsWhilePeersHangInTheHandshake) {
    QTemporaryDir folder;
    simtest::Simulator sim(simtest::https(folder));
    sim.start();

    // One peer connects and sends nothing, another half a client hello.
    int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    int partial = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(sim.port()));
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::connect(partial, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    const unsigned char hello[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01,
                                   0x00, 0x01, 0xfc, 0x03, 0x03};
    ASSERT_EQ(::send(partial, hello, sizeof(hello), MSG_NOSIGNAL), ssize_t(sizeof(hello)));

    // Meanwhile the service answers others.
    EXPECT_EQ(simtest::Client(sim.url()).get("/mon").status, 200);

    auto stopped = std::async(std::launch::async, [&] { sim.stop(); });
    EXPECT_EQ(stopped.wait_for(3s), std::future_status::ready);
    ::close(silent);
    ::close(partial);
}
