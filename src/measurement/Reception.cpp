#include "Reception.h"

#include "Conditioning.h"
#include "MainView.h"
#include "ProgramState.h"
#include "common/KoraError.h"
#include "serial/SerialControl.h"

namespace {
const QString LineEnd = QStringLiteral("\r\n");

// 1-based position of the first occurrence, 0 where there is none.
qsizetype firstPosition(QStringView text, QStringView what)
{
    return text.indexOf(what) + 1;
}

// Characters from a 1-based start; a cut past the end stops at the end.
QString cut(QStringView text, qsizetype start, qsizetype length)
{
    if (start > text.size())
        return QString();
    return text.mid(start - 1, length).toString();
}
} // namespace

Reception::Reception(ProgramState& state, MainView& view, SerialControl& port,
                     Conditioning& conditioning)
    : m_state(state), m_view(view), m_port(port), m_conditioning(conditioning)
{
}

std::optional<Reception::Fields> Reception::cutLine(QStringView buffer)
{
    const qsizetype p1 = firstPosition(buffer, u"1=");
    const qsizetype p2 = firstPosition(buffer, u"2=");
    const qsizetype pe = firstPosition(buffer, LineEnd);
    const qsizetype ts = p1 + 2;
    const qsizetype tl = (p2 - 3) - ts;
    const qsizetype hs = p2 + 2;
    const qsizetype hl = pe - hs;
    if (!(ts > 0 && tl > 0 && hs > 0 && hl > 0))
        return std::nullopt;
    return Fields{cut(buffer, ts, tl), cut(buffer, hs, hl)};
}

bool Reception::OnComm()
{
    m_view.setIndicatorColour(IndicatorOrange);
    if (m_port.CommEvent() != SerialControl::EventReceive)
        return false;

    const QString newText = m_port.Input();
    // The line is looked for in what earlier notifications delivered; this notification's
    // text joins the buffer afterwards.
    const bool tookLine = m_state.receiveBuffer.contains(u'\r') && takeLine();
    if (tookLine)
        m_conditioning.run();
    append(newText);
    return tookLine;
}

void Reception::deviceLost()
{
    QString& buffer = m_state.receiveBuffer;
    const qsizetype lastEnd = buffer.lastIndexOf(LineEnd);
    buffer.truncate(lastEnd < 0 ? 0 : lastEnd + LineEnd.size());
}

bool Reception::takeLine()
{
    QString& buffer = m_state.receiveBuffer;
    for (;;) {
        if (const auto fields = cutLine(buffer)) {
            m_view.setLabelText(MainView::Label::Temperature, fields->temperature);
            m_view.setLabelText(MainView::Label::Humidity, fields->humidity);
            buffer.clear();
            return true;
        }
        // A leading piece that can never be accepted (reception that started inside a line,
        // a garbled line) would block every later line: drop it up to its line end and look
        // at the rest. Without a complete line end nothing is dropped, so a line whose LF is
        // still on its way waits for it.
        const qsizetype end = buffer.indexOf(LineEnd);
        if (end < 0)
            return false;
        buffer.remove(0, end + LineEnd.size());
        if (!buffer.contains(u'\r'))
            return false;
    }
}

void Reception::append(const QString& newText)
{
    QString& buffer = m_state.receiveBuffer;
    buffer += newText;
    if (buffer.size() <= BufferLimit)
        return;
    const qsizetype lastEnd = buffer.lastIndexOf(LineEnd);
    if (lastEnd >= 0)
        buffer.remove(0, lastEnd + LineEnd.size());
    if (buffer.size() > BufferLimit)
        buffer = buffer.right(LineStartKeep);
}
