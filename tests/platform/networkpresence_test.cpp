#include "platform/networkpresence.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkPresence, LoopbackHostsNeedNoNetwork) {
  EXPECT_TRUE(HostIsLoopback(QStringLiteral("127.0.0.1")));
  EXPECT_TRUE(HostIsLoopback(QStringLiteral("127.4.5.6")));
  EXPECT_TRUE(HostIsLoopback(QStringLiteral("::1")));
  EXPECT_TRUE(HostIsLoopback(QStringLiteral("localhost")));
  EXPECT_TRUE(SystemNetworkPresence().Present(QStringLiteral("127.0.0.1")));
}

TEST(NetworkPresence, OtherAddressesAreNotLoopback) {
  EXPECT_FALSE(HostIsLoopback(QStringLiteral("192.0.2.1")));
  EXPECT_FALSE(HostIsLoopback(QStringLiteral("2001:db8::1")));
  EXPECT_FALSE(HostIsLoopback(QString()));
}

}  // namespace
