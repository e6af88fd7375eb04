// The network tests' fixture: a fresh log, the real clock (peers run in real
// time), the network started on loopback and shut down after each test, and
// bounded pumping helpers.
#pragma once

#include "support/library_fixture.h"
#include "support/loopback_peer.h"

#include <functional>

class NetWorkTest : public LibraryTest {
protected:
    void SetUp() override;
    void TearDown() override;
public:
    // Starts the network listening on 127.0.0.1 at a free port.
    void Start(int rawDefault = 0, int keepOpenDefault = 0);
    // Pumps the network (as the message loop does) until `done` holds or
    // the time runs out; answers whether it held.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 60000);
    // Connects the peer to the listening socket; the accepted handle, or -1.
    int AcceptPeer(LoopbackPeer& peer);
    int port = -1;
};

// The 4-byte little-endian length prefix followed by the payload.
std::vector<unsigned char> Framed(const std::vector<unsigned char>& payload);
// size bytes of a pattern that shows any loss, repeat or reordering.
std::vector<unsigned char> Pattern(std::size_t size, unsigned seed = 1);
