#pragma once

#include <QFont>

namespace Fonts {
// The labels' Japanese Gothic face where installed, else IPAPGothic, whose widths are close
// enough that every text fits its box as laid out, else a proportional sans-serif face that has
// the degree Celsius sign.
QFont gothic(double pointSize);

// Where the system has neither face, loads IPAPGothic from the folder (the Windows zip carries
// it beside the program). True when it was loaded.
bool addBundled(const QString& folder);
} // namespace Fonts
