#pragma once

#include <QString>

// Whether a request to host can be worth trying: true when a network interface other than
// loopback is up and running, or when host itself is a loopback address or a name that
// resolves to one (a server on this machine needs no network). Callers ask before they
// request anything.
bool NetworkPresent(const QString& host = QString());

// The loopback half alone: host is a loopback address, "localhost", or a name that resolves
// only to loopback addresses.
bool HostIsLoopback(const QString& host);
