#pragma once

#include <QStringList>

// The puts the serial control receives, in order, as FakeSerialControl records them.
namespace ExpectedPuts {
inline const QStringList Startup = {"PortOpen=true",   "Settings=9600,n,8,1", "Handshaking=0",
                                    "RTSEnable=false", "RThreshold=1",        "SThreshold=1",
                                    "DTREnable=false"};
inline const QStringList Release = {"PortOpen=false", "DTREnable=false", "RTSEnable=false"};
inline const QStringList Reopen = {"PortOpen=true",   "Settings=9600,n,8,1", "Handshaking=0",
                                   "RTSEnable=false", "RThreshold=1",        "SThreshold=1"};
} // namespace ExpectedPuts
