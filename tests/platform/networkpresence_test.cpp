#include "platform/networkpresence.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkPresence, LoopbackHostsNeedNoNetwork) {
  for (const char* host : {"127.0.0.1", "127.4.5.6", "::1", "localhost"}) EXPECT_TRUE(HostIsLoopback(host)) << host;
  for (const char* host : {"192.0.2.1", "2001:db8::1", ""}) EXPECT_FALSE(HostIsLoopback(host)) << host;
  EXPECT_TRUE(SystemNetworkPresence().Present(QStringLiteral("127.0.0.1")));
}

}  // namespace
