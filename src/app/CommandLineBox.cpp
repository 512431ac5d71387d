#include "CommandLine.h"

#include "common/Version.h"

#include <QMessageBox>

int CommandLine::showInBox() const
{
    QByteArray summary;
    const bool error =
        outcome == Outcome::Error || (outcome == Outcome::Climate && !climateSummary(summary));
    const QString message = outcome == Outcome::Climate ? QString::fromUtf8(summary) : text;
    // The usage's columns, unwrapped, as a console shows them.
    const QString shown =
        error ? QStringLiteral("<p>") + message.toHtmlEscaped() + QStringLiteral("</p><pre>") +
                    usage.toHtmlEscaped() + QStringLiteral("</pre>")
              : QStringLiteral("<pre>") + message.toHtmlEscaped() + QStringLiteral("</pre>");
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, AppTitle, shown,
                    QMessageBox::Ok);
    box.setTextFormat(Qt::RichText);
    box.exec();
    return error ? (outcome == Outcome::Climate ? 1 : 2) : 0;
}
