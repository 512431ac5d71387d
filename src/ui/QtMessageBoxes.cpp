#include "QtMessageBoxes.h"

#include "common/KoraError.h"
#include "common/Version.h"

void QtMessageBoxes::show(QMessageBox::Icon icon, const QString& text, Kind kind)
{
    if (m_ended)
        return;
    QMessageBox box(icon, AppTitle, text, QMessageBox::Ok, m_parent);
    m_open.append({&box, kind});
    box.exec();
    m_open.removeIf([&box](const OpenBox& open) { return open.box == &box; });
}

void QtMessageBoxes::close(bool portFaultsOnly)
{
    for (const OpenBox& open : std::as_const(m_open)) {
        if (open.box && (!portFaultsOnly || open.kind == Kind::PortFault))
            open.box->done(QMessageBox::Ok);
    }
}

void QtMessageBoxes::endAll()
{
    m_ended = true;
    close(false);
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
    close(true);
}
