#include "CommandLine.h"

#include "common/Version.h"

#include <QMessageBox>

int CommandLine::showInBox() const
{
    const bool error = outcome == Outcome::Error;
    // The usage's columns, unwrapped, as a console shows them.
    const QString shown =
        error ? QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p><pre>") +
                    usage.toHtmlEscaped() + QStringLiteral("</pre>")
              : QStringLiteral("<pre>") + text.toHtmlEscaped() + QStringLiteral("</pre>");
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, AppTitle, shown,
                    QMessageBox::Ok);
    box.setTextFormat(Qt::RichText);
    box.exec();
    return error ? 2 : 0;
}
