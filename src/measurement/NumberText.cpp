#include "NumberText.h"

#include <QByteArray>
#include <QVarLengthArray>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {
bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Every power of ten up to 10^22 is exact in a double.
constexpr double ExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain form a sensor sends, "-12.5" or "45": an optional sign, then digits with at most one
// point, nothing skipped between them, no exponent, few enough digits to be exact. Anything
// else is left to the full reading.
std::optional<double> plainNumber(QStringView text)
{
    const QChar* c = text.begin();
    const QChar* const end = text.end();
    while (c != end && isSkipped(*c))
        ++c;
    const bool negative = c != end && *c == u'-';
    if (c != end && (*c == u'-' || *c == u'+'))
        ++c;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = -1; // none until the point
    for (; c != end; ++c) {
        if (isDigit(*c)) {
            mantissa = mantissa * 10 + (c->unicode() - u'0');
            ++digits;
            decimals += decimals >= 0 ? 1 : 0;
        } else if (*c == u'.' && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || digits > 15 || (c != end && (isSkipped(*c) || *c == u'e' || *c == u'E')))
        return std::nullopt;
    // Both parts exact: one division rounds as the full conversion does.
    const double value = double(mantissa) / ExactPowersOfTen[std::max(decimals, 0)];
    return negative ? -value : value;
}
} // namespace

double NumberText::leadingNumber(const QString& text)
{
    if (const std::optional<double> plain = plainNumber(text))
        return *plain;
    // On the stack for every number a sensor sends; only a very long one takes the heap.
    QVarLengthArray<char, 64> number;
    int pos = 0;
    const int size = text.size();
    const auto next = [&]() -> QChar {
        while (pos < size && isSkipped(text.at(pos)))
            ++pos;
        return pos < size ? text.at(pos) : QChar();
    };

    bool negative = false;
    QChar c = next();
    if (c == u'+' || c == u'-') {
        negative = c == u'-';
        ++pos;
        c = next();
    }
    int mantissaDigits = 0;
    int integerDigits = 0; // significant digits before the point, for telling overflow apart
    bool seenPoint = false;
    while (isDigit(c) || (c == u'.' && !seenPoint)) {
        if (c == u'.') {
            seenPoint = true;
        } else {
            ++mantissaDigits;
            if (!seenPoint && (integerDigits > 0 || c != u'0'))
                ++integerDigits;
        }
        number.append(static_cast<char>(c.unicode()));
        ++pos;
        c = next();
    }
    if (mantissaDigits == 0)
        return 0.0;

    long exponent = 0;
    if (c == u'e' || c == u'E') {
        const int exponentStart = pos;
        ++pos;
        QByteArray exponentText;
        QChar e = next();
        if (e == u'+' || e == u'-') {
            exponentText.append(static_cast<char>(e.unicode()));
            ++pos;
            e = next();
        }
        bool any = false;
        while (isDigit(e)) {
            any = true;
            if (exponentText.size() < 12)
                exponentText.append(static_cast<char>(e.unicode()));
            ++pos;
            e = next();
        }
        if (any) {
            number.append('e');
            number.append(exponentText.constData(), exponentText.size());
            exponent = exponentText.toLong();
        } else {
            pos = exponentStart;
        }
    }

    double value = 0.0;
    const auto result = std::from_chars(number.constData(), number.constData() + number.size(),
                                        value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Past the largest double, or below the smallest: tell them apart by the magnitude.
        value = (integerDigits + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

QString NumberText::pattern(double value, int minIntDigits, int decimals)
{
    const bool negative = std::signbit(value) && value != 0.0;
    const double magnitude = std::fabs(value);
    if (!std::isfinite(magnitude))
        return negative ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");

    // Round the decimal form of the value, as the user reads it: 15 significant digits first,
    // so that 23.45 is rounded as 23.45 and not as 23.4499999...
    const QString scientific = QString::number(magnitude, 'e', 14); // d.dddddddddddddde±x
    QString digits = scientific.left(1) + scientific.mid(2, 14);
    const int pointShift = scientific.mid(scientific.indexOf(u'e') + 1).toInt() + 1;

    // digits * 10^(pointShift - 15) is the value; keep pointShift + decimals digits.
    const int keep = pointShift + decimals;
    QString kept;
    bool roundUp = false;
    if (keep < 0) {
        kept = QString();
    } else if (keep >= digits.size()) {
        kept = digits + QString(keep - digits.size(), u'0');
    } else {
        kept = digits.left(keep);
        roundUp = digits.at(keep) >= u'5';
    }
    if (roundUp) {
        int i = kept.size() - 1;
        while (i >= 0 && kept.at(i) == u'9') {
            kept[i] = u'0';
            --i;
        }
        if (i >= 0)
            kept[i] = QChar(kept.at(i).unicode() + 1);
        else
            kept.prepend(u'1');
    }
    if (kept.size() < minIntDigits + decimals)
        kept = QString(minIntDigits + decimals - kept.size(), u'0') + kept;
    // Leading zeros beyond the minimum come from a large keep; drop them.
    while (kept.size() > minIntDigits + decimals && kept.at(0) == u'0')
        kept.remove(0, 1);

    QString text = negative ? QStringLiteral("-") : QString();
    if (decimals > 0)
        text += kept.left(kept.size() - decimals) + u'.' + kept.right(decimals);
    else
        text += kept;
    return text;
}
