#include "QtMessageBoxes.h"

#include "common/KoraError.h"
#include "common/Version.h"

void QtMessageBoxes::show(QMessageBox::Icon icon, const QString& text, Kind kind)
{
    QMessageBox box(icon, AppTitle, text, QMessageBox::Ok, m_parent);
    if (kind == Kind::PortFault)
        m_portFaultBoxes.append(&box);
    box.exec();
    m_portFaultBoxes.removeAll(&box);
}

void QtMessageBoxes::plain(const QString& text)
{
    show(QMessageBox::NoIcon, text, Kind::Plain);
}

void QtMessageBoxes::exclamation(const QString& text)
{
    show(QMessageBox::Warning, text, Kind::PortFault);
}

void QtMessageBoxes::error(const KoraError& error)
{
    show(QMessageBox::Critical, errorText(error), Kind::Plain);
}

void QtMessageBoxes::portError(const KoraError& error)
{
    show(QMessageBox::Critical, errorText(error), Kind::PortFault);
}

void QtMessageBoxes::closePortFaultReports()
{
    for (const QPointer<QMessageBox>& box : std::as_const(m_portFaultBoxes)) {
        if (box)
            box->done(QMessageBox::Ok);
    }
}
