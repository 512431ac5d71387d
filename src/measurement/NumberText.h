#pragma once

#include <QString>

// How displayed texts become numbers and numbers become texts.
namespace NumberText {
// The leading number of a text: blanks, tabs and line feeds anywhere are skipped; then an
// optional sign, digits with at most one ".", an optional exponent. No number gives 0; a number
// too large for a double gives plus or minus infinity. "." whatever the locale.
double leadingNumber(const QString& text);

// The value rounded to the given decimals, halves away from zero, with at least minIntDigits
// digits before the point and a "-" for any negative value, even one that rounds to zero.
QString pattern(double value, int minIntDigits, int decimals);

inline QString pattern00_0(double value)
{
    return pattern(value, 2, 1);
} // "#00.0"
inline QString pattern00(double value)
{
    return pattern(value, 2, 0);
} // "00"
inline QString pattern000(double value)
{
    return pattern(value, 3, 0);
} // "000"
} // namespace NumberText
