#pragma once

#include "common/KoraError.h"
#include "station/MessageBoxes.h"

#include <QStringList>
#include <functional>

// Message boxes answered at once; what each would have shown is kept in order.
class RecordingMessages : public MessageBoxes {
public:
    QStringList shown; // "plain: ...", "exclamation: ...", "error 8010: ...", "port error ..."
    // Runs as an error's box is shown, to look at what the program has done before it.
    std::function<void()> whenShown = [] {};

    void plain(const QString& text) override { shown << "plain: " + text; }
    void exclamation(const QString& text) override
    {
        shown << "exclamation: " + withoutDevices(text);
    }
    void error(const KoraError& error) override
    {
        whenShown();
        shown << describe(error);
    }
    static QString describe(const KoraError& error)
    {
        return QString("error %1: %2").arg(error.number()).arg(withoutDevices(error.description()));
    }
    // A box that goes away by itself when the port comes back.
    void portError(const KoraError& error) override { shown << "port " + describe(error); }

    // The advice after a port that would not open lists this machine's serial devices; it is
    // kept as a mark, so that expected texts do not depend on the machine.
    static QString withoutDevices(const QString& text)
    {
        const QString advice = text.section("\n\n", 1);
        if (advice.isEmpty())
            return text;
        const bool told = advice.contains("[Ports] section of ") &&
                          (advice.startsWith("Serial devices on this computer: ") ||
                           advice.startsWith("No serial device was found"));
        return text.section("\n\n", 0, 0) + (told ? " + where to map a device" : " + ?");
    }
    void closePortFaultReports() override { shown << "closed port fault reports"; }
};
