#include "PortEvent.h"

#include <array>
#include <utility>

namespace {
constexpr std::array<std::pair<PortEvent, const char*>, 10> Words{{
    {PortEvent::Started, "started"},
    {PortEvent::Ended, "ended"},
    {PortEvent::Open, "open"},
    {PortEvent::Chosen, "chosen"},
    {PortEvent::Missing, "missing"},
    {PortEvent::Failing, "failing"},
    {PortEvent::Lost, "lost"},
    {PortEvent::Silent, "silent"},
    {PortEvent::Back, "back"},
    {PortEvent::Off, "off"},
}};
} // namespace

QLatin1String PortEvents::word(PortEvent event)
{
    for (const auto& [known, text] : Words)
        if (known == event)
            return QLatin1String(text);
    return QLatin1String("other");
}

PortEvent PortEvents::fromWord(QStringView word)
{
    for (const auto& [known, text] : Words)
        if (word == QLatin1String(text))
            return known;
    return PortEvent::Other;
}

bool PortEvents::beginsOutage(PortEvent event)
{
    return event == PortEvent::Lost || event == PortEvent::Missing ||
           event == PortEvent::Failing || event == PortEvent::Silent;
}

QLatin1String PortEvents::state(PortEvent event)
{
    switch (event) {
    case PortEvent::Lost:
    case PortEvent::Failing:
        return QLatin1String("lost");
    case PortEvent::Silent:
        return QLatin1String("silent");
    case PortEvent::Missing:
        return QLatin1String("missing");
    default:
        return QLatin1String("reading");
    }
}
