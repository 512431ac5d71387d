#include "MessageBoxes.h"

#include "common/KoraError.h"
#include "common/Version.h"

#include <QMessageBox>

namespace {
void show(QWidget* parent, QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, AppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

void QtMessageBoxes::plain(const QString& text)
{
    show(m_parent, QMessageBox::NoIcon, text);
}

void QtMessageBoxes::exclamation(const QString& text)
{
    show(m_parent, QMessageBox::Warning, text);
}

QString QtMessageBoxes::errorText(const KoraError& error)
{
    return QStringLiteral("Run-time error '%1':\n\n%2")
        .arg(error.number())
        .arg(error.description());
}

void QtMessageBoxes::error(const KoraError& error)
{
    show(m_parent, QMessageBox::Critical, errorText(error));
}
