#pragma once

#include "common/KoraError.h"
#include "ui/MessageBoxes.h"

#include <QStringList>

// Message boxes answered at once; what each would have shown is kept in order.
class RecordingMessages : public MessageBoxes {
public:
    QStringList shown; // "plain: ...", "exclamation: ...", "error 8010: ..."

    void plain(const QString& text) override { shown << "plain: " + text; }
    void exclamation(const QString& text) override { shown << "exclamation: " + text; }
    void error(const KoraError& error) override
    {
        shown << QString("error %1: %2").arg(error.number()).arg(error.description());
    }
};
