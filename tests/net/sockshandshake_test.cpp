// The shared SOCKS handshake: one SOCKS4 reply rule for both socket layers, read in the pieces a
// blocking reader asks for.
#include "net/sockshandshake.h"

#include <gtest/gtest.h>

namespace {

TSocksHandshake::TState Socks4Reply(const std::string& Reply) {
    TSocksRequest request;
    request.Version4 = true;
    request.Address = std::string("\x7f\x00\x00\x01", 4);
    request.Port = 80;
    TSocksHandshake handshake(request);
    handshake.Start();
    EXPECT_EQ(handshake.Wanted(), 8u);
    handshake.Feed(Reply.data(), Reply.size());
    return handshake.State();
}

} // namespace

TEST(SocksHandshake, Socks4GrantIsStatus90OrAVersion0Status0) {
    using S = TSocksHandshake::TState;
    EXPECT_EQ(Socks4Reply(std::string("\x00\x5a\x00\x50\x7f\x00\x00\x01", 8)), S::Done);
    EXPECT_EQ(Socks4Reply(std::string("\x04\x5a\x00\x50\x7f\x00\x00\x01", 8)), S::Done);
    EXPECT_EQ(Socks4Reply(std::string("\x00\x00\x00\x50\x7f\x00\x00\x01", 8)), S::Done);
    EXPECT_EQ(Socks4Reply(std::string("\x04\x00\x00\x50\x7f\x00\x00\x01", 8)), S::Failed);
    EXPECT_EQ(Socks4Reply(std::string("\x00\x5b\x00\x50\x7f\x00\x00\x01", 8)), S::Failed);
}

TEST(SocksHandshake, Socks5ReplyByNameIsAskedForInItsPieces) {
    TSocksRequest request;
    request.Name = "relay.test";
    request.Port = 443;
    TSocksHandshake handshake(request);
    EXPECT_EQ(handshake.Start(), std::string("\x05\x01\x00", 3));
    EXPECT_EQ(handshake.Wanted(), 2u);
    EXPECT_EQ(handshake.Feed("\x05\x00", 2),
              std::string("\x05\x01\x00\x03\x0a", 5) + "relay.test" + "\x01\xbb");
    EXPECT_EQ(handshake.Wanted(), 4u);
    handshake.Feed("\x05\x00\x00\x03", 4);
    EXPECT_EQ(handshake.Wanted(), 1u);
    handshake.Feed("\x05", 1);
    EXPECT_EQ(handshake.Wanted(), 7u);
    handshake.Feed("relay\x1f\x90", 7);
    EXPECT_EQ(handshake.State(), TSocksHandshake::TState::Done);
    EXPECT_EQ(handshake.BoundHost(), "relay");
    EXPECT_EQ(handshake.BoundPort(), "8080");
}
