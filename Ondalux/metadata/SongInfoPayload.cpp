#include "SongInfoPayload.h"

#include "JsonFields.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringList>

#include <array>

using namespace Qt::StringLiterals;

namespace {

using Field = JsonTextField<SongInfoPayload>;

constexpr std::array<Field, 10> fields{ {
    { "artist"_L1, &SongInfoPayload::artist },
    { "title"_L1, &SongInfoPayload::title },
    { "mix"_L1, &SongInfoPayload::mix },
    { "picture"_L1, &SongInfoPayload::picture },
    { "artwork_url"_L1, &SongInfoPayload::artwork_url },
    { "artwork"_L1, &SongInfoPayload::artwork },
    { "image"_L1, &SongInfoPayload::image },
    { "cover"_L1, &SongInfoPayload::cover },
    { "coverart"_L1, &SongInfoPayload::coverart },
    { "albumart"_L1, &SongInfoPayload::albumart },
} };

constexpr std::array artworkPrecedence{
    &SongInfoPayload::picture,  &SongInfoPayload::artwork_url, &SongInfoPayload::artwork,
    &SongInfoPayload::image,    &SongInfoPayload::cover,       &SongInfoPayload::coverart,
    &SongInfoPayload::albumart,
};

} // namespace

std::optional<SongInfoPayload> SongInfoPayload::decode(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    SongInfoPayload payload;
    if (!readTextFields(document.object(), fields, payload))
        return std::nullopt;
    return payload;
}

QString SongInfoPayload::nowPlayingText(const QString &stationName) const
{
    const QString a = artist.value_or(QString()).trimmed();
    const QString t = title.value_or(QString()).trimmed();
    const QString m = mix.value_or(QString()).trimmed();
    if (a.isEmpty() && t.isEmpty())
        return stationName;
    QStringList parts;
    if (!a.isEmpty())
        parts.append(a);
    if (!t.isEmpty())
        parts.append(t);
    QString text = parts.join(u" \u2013 "_s);
    if (!m.isEmpty())
        text += u' ' + m;
    return text;
}

std::optional<QString> SongInfoPayload::artworkReference() const
{
    for (const auto field : artworkPrecedence) {
        if (this->*field)
            return this->*field;
    }
    return std::nullopt;
}

std::optional<QUrl> SongInfoPayload::resolveArtworkReference(const QString &reference,
                                                             const QUrl &songInfoUrl)
{
    if (reference.isEmpty())
        return std::nullopt;
    // Tolerant parsing percent-encodes characters a URL may not hold, such as spaces.
    const QUrl relative(reference, QUrl::TolerantMode);
    if (!relative.isValid())
        return std::nullopt;
    QUrl resolved = songInfoUrl.resolved(relative);
    if (!resolved.isValid() || resolved.isRelative())
        resolved = relative;
    if (!resolved.isValid() || resolved.isRelative())
        return std::nullopt;
    return resolved;
}
