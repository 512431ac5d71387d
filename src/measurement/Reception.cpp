#include "Reception.h"

#include "Conditioning.h"
#include "MainView.h"
#include "ProgramState.h"
#include "common/KoraError.h"
#include "serial/SerialControl.h"

namespace {
const QString LineEnd = QStringLiteral("\r\n");

// Characters from a 1-based start; a cut past the end stops at the end.
QStringView cut(QStringView text, qsizetype start, qsizetype length)
{
    if (start > text.size())
        return QStringView();
    return text.mid(start - 1, length);
}
} // namespace

Reception::Reception(ProgramState& state, MainView& view, SerialControl& port,
                     Conditioning& conditioning)
    : m_state(state), m_view(view), m_port(port), m_conditioning(conditioning)
{
}

std::optional<Reception::Fields> Reception::cutLine(QStringView buffer)
{
    // 1-based positions of the first "1=", "2=" and CR LF, 0 where there is none; found in one
    // pass by hand, which costs less than three general searches.
    qsizetype p1 = 0;
    qsizetype p2 = 0;
    qsizetype pe = 0;
    for (qsizetype i = 0; i + 1 < buffer.size() && (p1 == 0 || p2 == 0 || pe == 0); ++i) {
        const char16_t c = buffer[i].unicode();
        const char16_t following = buffer[i + 1].unicode();
        if (p1 == 0 && c == u'1' && following == u'=')
            p1 = i + 1;
        else if (p2 == 0 && c == u'2' && following == u'=')
            p2 = i + 1;
        else if (pe == 0 && c == u'\r' && following == u'\n')
            pe = i + 1;
    }
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
            show(MainView::Label::Temperature, fields->temperature, m_lastTemperature);
            show(MainView::Label::Humidity, fields->humidity, m_lastHumidity);
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

void Reception::show(MainView::Label label, QStringView field, QString& last)
{
    if (field != last || last.isNull() != field.isNull())
        last = field.toString();
    m_view.setLabelText(label, last);
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
