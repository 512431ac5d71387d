#include "StationSite.h"

#include "ClimatePages.h"
#include "HistorySvg.h"
#include "StationPage.h"
#include "measurement/Conditioning.h"
#include "measurement/MainView.h"
#include "measurement/ReportWriter.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "station/Station.h"
#include "station/StationJson.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSysInfo>

namespace {
// The page's style and script: files of their own, so that its policy allows nothing inline.
QByteArray resource(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

WebServer::Reply text(int status, const QByteArray& body)
{
    WebServer::Reply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

} // namespace

StationSite::StationSite(Station& station, MainView& view, const Clock& clock, QObject* parent)
    : QObject(parent), m_station(station), m_view(view), m_clock(clock),
      m_server([this](const WebServer::Request& request) { return reply(request); })
{
    connect(&station, &Station::readingTaken, this, [this](double temperature, double humidity) {
        m_reading = StationJson::reading(temperature, humidity, m_clock.now());
        changed();
    });
    connect(&station, &Station::blockDone, this, [this](const BlockSummary& block) {
        m_block = StationJson::block(block, m_clock.now());
        changed();
    });
    connect(&station, &Station::portNoticed, this, [this](PortEvent what, const QString& shown) {
        m_port = StationJson::port(PortEvents::state(what), shown, m_clock.now());
        changed();
    });
}

std::unique_ptr<StationSite> StationSite::open(const QString& address,
                                               const SettingsStore& settings, Station& station,
                                               MainView& view, const Clock& clock, QString& told)
{
    const QString where =
        address.isEmpty()
            ? settings.GetSetting(SettingsKeys::WebSection, SettingsKeys::WebListen, {}).trimmed()
            : address;
    if (where.isEmpty())
        return nullptr;
    auto site = std::make_unique<StationSite>(station, view, clock);
    const QString stamp = ReportWriter::statusStamp(clock.now()) + u' ';
    if (const QString problem = site->listen(where); !problem.isEmpty()) {
        told = stamp + QStringLiteral("Web page: ") + problem +
               QStringLiteral("; the station goes on without it");
        view.showNotice(stamp + QStringLiteral("Web page off"), told);
        return nullptr;
    }
    // The port the system chose, where the address asked for any.
    const QString host = where.left(where.lastIndexOf(u':'));
    told = stamp + QStringLiteral("Web page on http://%1:%2/").arg(host).arg(site->server().port());
    // For others to link to: an address of every interface is none to go to.
    site->m_pageUrl =
        QStringLiteral("http://%1:%2/")
            .arg(host == u"0.0.0.0" || host == u"[::]" ? QSysInfo::machineHostName() : host)
            .arg(site->server().port());
    view.showNotice(told, told);
    return site;
}

void StationSite::changed()
{
    if (m_server.streams() > 0)
        m_server.broadcast("event: now\ndata: " + StationJson::compact(now()) + "\n\n");
}

QByteArray StationSite::reportBytes() const
{
    QFile report(QDir(m_station.reportFolder()).filePath(ReportWriter::FileName));
    return report.open(QIODevice::ReadOnly) ? report.read(4096) : QByteArray();
}

QJsonObject StationSite::now() const
{
    QJsonArray report;
    for (const QByteArray& line : reportBytes().split('\n'))
        if (!line.trimmed().isEmpty())
            report.append(QString::fromLatin1(line.trimmed()));
    QJsonObject now{{"status", m_view.labelText(MainView::Label::Status)},
                    {"report", report},
                    {"time", StationJson::isoTime(m_clock.now())}};
    if (!m_reading.isEmpty())
        now.insert("reading", m_reading);
    if (!m_block.isEmpty())
        now.insert("block", m_block);
    if (!m_port.isEmpty())
        now.insert("port", m_port);
    return now;
}

QLocale StationSite::localeFor(const QByteArray& acceptLanguage)
{
    // "de-CH, de;q=0.9, en;q=0.8": the tags by their weight, the first of equals first.
    QList<QPair<double, QString>> asked;
    for (const QByteArray& part : acceptLanguage.split(',')) {
        const QList<QByteArray> fields = part.trimmed().split(';');
        const QString tag = QString::fromLatin1(fields.value(0).trimmed());
        double weight = 1.0;
        for (const QByteArray& field : fields.mid(1))
            if (field.trimmed().startsWith("q="))
                weight = field.trimmed().mid(2).toDouble();
        if (!tag.isEmpty() && tag != u"*" && weight > 0)
            asked.append({-weight, tag});
    }
    std::stable_sort(asked.begin(), asked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [weight, tag] : asked) {
        const QLocale locale(tag);
        if (locale.language() != QLocale::C && locale.name() != u"C")
            return locale;
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

WebServer::Reply StationSite::reply(const WebServer::Request& request) const
{
    WebServer::Reply reply = answer(request);
    // Scripts of other pages may read the JSON, its refusals too; nothing else.
    if (request.path.startsWith("/api/"))
        reply.headers.append({QByteArray("Access-Control-Allow-Origin"), QByteArray("*")});
    return reply;
}

WebServer::Reply StationSite::answer(const WebServer::Request& request) const
{
    const QByteArray& path = request.path;
    // Encoded slashes, dots or ends are no part of any name here.
    const QByteArray lower = path.toLower();
    if (path.contains("..") || lower.contains("%00") || lower.contains("%2f") ||
        lower.contains("%5c") || lower.contains("%2e") || path.contains('\\'))
        return text(400, "Bad path.\n");
    if (std::optional<WebServer::Reply> climate =
            ClimatePages::answer(request, m_station.history(), m_clock.now()))
        return *climate;

    const QByteArray span = request.argument("span");
    const int days = spanDays(span.isEmpty() ? QByteArray("24h") : span);
    const bool historic = path == "/" || path == "/history.svg" || path == "/api/history";
    if (historic && days == 0)
        return text(400, "The span is 24h, 7d, 31d or 1y.\n");
    const QLocale locale = localeFor(request.header("Accept-Language"));

    WebServer::Reply reply;
    reply.headers.append({QByteArray("Cache-Control"), QByteArray("no-cache")});
    if (path == "/") {
        reply.contentType = "text/html; charset=utf-8";
        reply.body =
            StationPage::page(now(),
                              made("html", days, locale,
                                   [&] {
                                       return StationPage::historySection(
                                           m_station.history(), m_clock.now(), locale, days);
                                   }) +
                                  ClimatePages::section(m_station.history(), m_clock.now(), locale),
                              locale);
    } else if (path == "/history.svg") {
        const QDateTime now = m_clock.now();
        reply.contentType = "image/svg+xml; charset=utf-8";
        reply.body = made("svg", days, locale, [&] {
            return HistorySvg::draw(m_station.history().span(now.addDays(-days), now), locale);
        });
    } else if (path == "/api/history") {
        reply.contentType = "application/json; charset=utf-8";
        reply.body = made("json", days, QLocale::c(), [&] {
            return StationJson::compact(
                       StationJson::history(m_station.history(), m_clock.now(), days)) +
                   '\n';
        });
    } else if (path == "/style.css") {
        reply.contentType = "text/css; charset=utf-8";
        reply.body = resource(QStringLiteral(":/web/page.css"));
    } else if (path == "/favicon.svg" || path == "/favicon.ico") {
        const bool svg = path.endsWith(".svg");
        reply.contentType = svg ? "image/svg+xml; charset=utf-8" : "image/x-icon";
        reply.body = resource(QStringLiteral(":/web") + QString::fromLatin1(path));
        reply.headers = {{QByteArray("Cache-Control"), QByteArray("max-age=86400")}};
    } else if (path == "/page.js") {
        reply.contentType = "text/javascript; charset=utf-8";
        reply.body = resource(QStringLiteral(":/web/page.js"));
    } else if (path == "/events") {
        reply.contentType = "text/event-stream; charset=utf-8";
        reply.body = "retry: 2000\n\nevent: now\ndata: " + StationJson::compact(now()) + "\n\n";
        reply.stream = true;
    } else if (path == "/api/now") {
        reply.contentType = "application/json; charset=utf-8";
        reply.body = StationJson::compact(now()) + '\n';
    } else if (path == "/wxnow.txt") {
        reply.body = reportBytes();
        if (reply.body.isEmpty())
            return text(404, "No report has been written yet.\n");
    } else if (path == "/archive/") {
        reply.contentType = "text/html; charset=utf-8";
        reply.body = StationPage::archiveList(m_station.archiveFolder());
    } else if (path.startsWith("/archive/") &&
               StationPage::monthFile().match(QString::fromLatin1(path.mid(9))).hasMatch() &&
               !m_station.archiveFolder().isEmpty()) {
        // Only the archive's own files: a link may lead anywhere on the system.
        const QFileInfo month(
            QDir(m_station.archiveFolder()).filePath(QString::fromLatin1(path.mid(9))));
        if (!month.isFile() || month.isSymLink())
            return text(404, "No such month in the archive.\n");
        reply.contentType = "text/csv; charset=utf-8";
        reply.file = month.filePath();
    } else {
        return text(404, "Nothing here.\n");
    }
    return reply;
}

// The history's answers are made once for each new row, or once the time has moved on by one of
// the chart's points, not for each request: a browser left on the page costs next to nothing.
QByteArray StationSite::made(const char* kind, int days, const QLocale& locale,
                             const std::function<QByteArray()>& make) const
{
    const qint64 pointMs = qint64(days) * 24 * 3600 * 1000 / HistoryModel::MaxPoints;
    const qint64 slot = m_clock.msecsSinceEpoch() / std::max<qint64>(pointMs, 1);
    const QString key = QLatin1String(kind) + QString::number(days) + locale.name();
    const quint64 revision = m_station.history().revision();
    auto found = m_made.find(key);
    if (found != m_made.end() && found->second.revision == revision && found->second.slot == slot)
        return found->second.body;
    // As many as the spans and languages asked for lately; a client cannot make it grow.
    if (m_made.size() >= MadeLimit)
        m_made.clear();
    Made& entry = m_made[key];
    entry = Made{revision, slot, make()};
    return entry.body;
}

int StationSite::spanDays(const QByteArray& asked)
{
    if (asked == "24h")
        return 1;
    if (asked == "7d")
        return 7;
    if (asked == "31d")
        return 31;
    if (asked == "1y")
        return 365;
    return 0;
}
