#pragma once

#include <QString>

// A socket listening on HOST:PORT, the host an IPv4 or IPv6 address ([::1]:8080) or "localhost",
// bound here rather than by the HTTP library so that what is wrong with an address is known by its
// errno.
struct ListenSocket {
    int fd = -1;
    // The port bound: the one the system chose where the address asked for port 0.
    int port = 0;
    // The errno of the failure; EINVAL for no address at all.
    int error = 0;
    QString problem;

    static ListenSocket open(const QString& address);
    static bool isAddress(const QString& address);
};
