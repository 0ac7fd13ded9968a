#include "Programme.h"

#include "CoverArt.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr int lastTenLength = 10;

HttpReply jsonReply(const QJsonDocument &document)
{
    return { .contentType = "application/json", .body = document.toJson(QJsonDocument::Compact) };
}

// The scheme and authority the client used, for absolute references back to this host.
QString originOf(const HttpRequest &request)
{
    static const QRegularExpression hostPattern(u"^[A-Za-z0-9.-]+(:[0-9]+)?$"_s);
    const QString host = QString::fromLatin1(request.header("Host"));
    return u"https://"_s + (hostPattern.match(host).hasMatch() ? host : u"127.0.0.1"_s);
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

Programme::Programme(DemoStation station, std::chrono::milliseconds trackLength, QObject *parent)
    : QObject(parent)
    , m_station(std::move(station))
    , m_startedAt(QDateTime::currentDateTimeUtc())
{
    Q_ASSERT(m_station.tracks.size() >= lastTenLength);
    m_timer.setInterval(trackLength);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        ++m_aired;
        m_startedAt = QDateTime::currentDateTimeUtc();
        Q_EMIT trackChanged();
    });
}

int Programme::currentIndex() const
{
    return static_cast<int>(m_aired % m_station.tracks.size());
}

const DemoTrack &Programme::current() const
{
    return aired(0);
}

const DemoTrack &Programme::aired(int back) const
{
    const auto count = m_station.tracks.size();
    return m_station.tracks.at(((m_aired - back) % count + count) % count);
}

QString Programme::streamTitle() const
{
    const DemoTrack &track = current();
    return track.artist + u" - "_s + track.title
        + (track.mix.isEmpty() ? QString() : u' ' + track.mix);
}

void Programme::start()
{
    m_startedAt = QDateTime::currentDateTimeUtc();
    m_timer.start();
}

HttpReply Programme::answer(const HttpRequest &request) const
{
    static const QRegularExpression artPath(u"^/(?:songInfo/)?art/([a-z0-9-]+)\\.png$"_s);
    static const QRegularExpression storePath(u"^/store/([a-z0-9-]+)$"_s);
    const QString path = request.path();
    const QString origin = originOf(request);
    if (path == u"/songInfo/"_s + m_station.id + u".json"_s)
        return jsonReply(QJsonDocument(songInfo(origin)));
    if (path == u"/songInfo/lastTen.json"_s)
        return { .contentType = "application/json", .body = lastTen(origin) };
    if (const auto match = artPath.match(path); match.hasMatch()) {
        const int index = indexOf(match.captured(1));
        if (index < 0)
            return HttpReply::notFound();
        return { .contentType = "image/png",
                 .body = cover(m_station.tracks.at(index)),
                 .cacheControl = "public, max-age=86400" };
    }
    if (const auto match = storePath.match(path); match.hasMatch()) {
        const int index = indexOf(match.captured(1));
        if (index < 0 || !m_station.tracks.at(index).inStore)
            return HttpReply::notFound();
        const DemoTrack &track = m_station.tracks.at(index);
        const QString page = u"<!doctype html><meta charset=utf-8><title>"_s + escaped(track.title)
            + u"</title><h1>"_s + escaped(track.artist) + u" \u2013 "_s + escaped(track.title)
            + u"</h1><p>"_s + escaped(track.year) + u" \u00b7 "_s + escaped(m_station.name)
            + u"</p><p>A demo store page: the music is made up and nothing is sold here.</p>\n"_s;
        return { .contentType = "text/html; charset=utf-8", .body = page.toUtf8() };
    }
    return HttpReply::notFound();
}

// The artwork reference takes a different key and form from track to track, as stations
// differ in what they send; some name it twice.
QJsonObject Programme::songInfo(const QString &origin) const
{
    const int index = currentIndex();
    const DemoTrack &track = current();
    const QString relative = u"art/"_s + track.slug + u".png"_s;
    const QString rooted = u"/art/"_s + track.slug + u".png"_s;
    const QString absolute = origin + u"/songInfo/"_s + relative;
    QJsonObject info{
        { u"station"_s, m_station.name },
        { u"artist"_s, track.artist },
        { u"title"_s, track.title },
        { u"mix"_s, track.mix.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(track.mix) },
        { u"started"_s, m_startedAt.toString(Qt::ISODate) },
    };
    switch (index % 7) {
    case 0:
        info.insert(u"picture"_s, relative);
        break;
    case 1:
        info.insert(u"artwork_url"_s, absolute);
        break;
    case 2:
        info.insert(u"cover"_s, rooted);
        break;
    case 3:
        info.insert(u"image"_s, absolute);
        info.insert(u"coverart"_s, relative);
        break;
    case 4:
        info.insert(u"artwork"_s, relative);
        info.insert(u"albumart"_s, QString(origin + rooted));
        break;
    case 5:
        info.insert(u"albumart"_s, QString(u"/songInfo/"_s + relative));
        break;
    default:
        info.insert(u"coverart"_s, absolute);
        break;
    }
    return info;
}

QJsonObject Programme::lastTenEntry(const DemoTrack &track, const QString &origin) const
{
    static const std::array<QString, 8> keys
        = { u"picture"_s,  u"artwork_url"_s, u"artwork"_s, u"cover"_s,
            u"coverart"_s, u"albumart"_s,    u"image"_s,   u"image_url"_s };
    const int index = indexOf(track.slug);
    QJsonObject entry{
        { u"artist"_s, track.artist },
        { u"title"_s, track.title },
        { u"year"_s, track.year },
    };
    if (!track.mix.isEmpty())
        entry.insert(u"mix"_s, track.mix);
    if (track.inStore)
        entry.insert(u"buycd"_s, QString(origin + u"/store/"_s + track.slug));
    if (index % 5 != 4) {
        const QString relative = u"art/"_s + track.slug + u".png"_s;
        const QString reference = index % 3 == 0 ? relative
            : index % 3 == 1                     ? origin + u"/songInfo/"_s + relative
                                                 : u"/art/"_s + track.slug + u".png"_s;
        entry.insert(keys[static_cast<size_t>(index) % keys.size()], reference);
    }
    return entry;
}

// Newest first, the track on air at the top.
QByteArray Programme::lastTen(const QString &origin) const
{
    QJsonArray entries;
    for (int back = 0; back < lastTenLength; ++back) {
        QJsonObject entry = lastTenEntry(aired(back), origin);
        entry.insert(u"played_at"_s,
                     m_startedAt.addMSecs(-back * m_timer.intervalAsDuration().count())
                         .toString(Qt::ISODate));
        entries.append(entry);
    }
    if (!m_station.lastTenWrapped)
        return QJsonDocument(entries).toJson(QJsonDocument::Compact);
    const QJsonObject wrapped{
        { u"station"_s, m_station.name },
        { u"updated"_s, m_startedAt.toString(Qt::ISODate) },
        { u"data"_s, entries },
    };
    return QJsonDocument(wrapped).toJson(QJsonDocument::Compact);
}

void Programme::drawCover() const
{
    cover(current());
}

QByteArray Programme::cover(const DemoTrack &track) const
{
    auto found = m_covers.find(track.slug);
    if (found == m_covers.end())
        found = m_covers.insert(track.slug, CoverArt::png(m_station, track));
    return *found;
}

int Programme::indexOf(const QString &slug) const
{
    for (qsizetype i = 0; i < m_station.tracks.size(); ++i) {
        if (m_station.tracks.at(i).slug == slug)
            return static_cast<int>(i);
    }
    return -1;
}
