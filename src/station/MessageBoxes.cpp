#include "MessageBoxes.h"

#include "common/KoraError.h"

QString MessageBoxes::errorText(const KoraError& error)
{
    return QStringLiteral("Run-time error '%1':\n\n%2")
        .arg(error.number())
        .arg(error.description());
}
