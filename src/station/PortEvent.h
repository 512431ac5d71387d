#pragma once

#include <QLatin1String>
#include <QStringView>

// What happened to the port or the program, as the archive keeps it and the faces tell it.
// Started and Ended are the program's; Open is said at start-up and never archived; Off is the
// stretch between an end and the next start, drawn but never written; Other is a word in the
// archive that this version does not know.
enum class PortEvent { Started, Ended, Open, Chosen, Missing, Failing, Lost, Silent, Back, Off, Other };

namespace PortEvents {
// Its word in the archive's event column, in JSON and in Home Assistant's topics.
QLatin1String word(PortEvent event);
PortEvent fromWord(QStringView word);
// After it the port is not heard until it is back or another is chosen.
bool beginsOutage(PortEvent event);
// What a home-automation system or a page is told of the port: "reading", "lost", "silent" or
// "missing".
QLatin1String state(PortEvent event);
} // namespace PortEvents
