#pragma once

#include <QByteArray>
#include <QFile>

// A memory figure of this process from /proc/self/status ("VmRSS", "VmHWM"), in KiB; -1 when
// it cannot be read.
inline long procStatusKiB(const QByteArray& field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
