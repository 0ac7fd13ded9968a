#include "SongInfoPayload.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>

#include <array>

using namespace Qt::StringLiterals;

namespace {

using Key = SongInfoPayload::CodingKeys;
using Field = std::optional<QString> SongInfoPayload::*;

struct KeyField
{
    Key key;
    QLatin1StringView name;
    Field field;
};

// In declaration order, the order in which keys are read and artwork is chosen.
constexpr std::array<KeyField, 10> keyFields{ {
    { Key::artist, "artist"_L1, &SongInfoPayload::artist },
    { Key::title, "title"_L1, &SongInfoPayload::title },
    { Key::mix, "mix"_L1, &SongInfoPayload::mix },
    { Key::picture, "picture"_L1, &SongInfoPayload::picture },
    { Key::artwork_url, "artwork_url"_L1, &SongInfoPayload::artwork_url },
    { Key::artwork, "artwork"_L1, &SongInfoPayload::artwork },
    { Key::image, "image"_L1, &SongInfoPayload::image },
    { Key::cover, "cover"_L1, &SongInfoPayload::cover },
    { Key::coverart, "coverart"_L1, &SongInfoPayload::coverart },
    { Key::albumart, "albumart"_L1, &SongInfoPayload::albumart },
} };

constexpr std::array<Field, 7> artworkPrecedence{
    &SongInfoPayload::picture,  &SongInfoPayload::artwork_url, &SongInfoPayload::artwork,
    &SongInfoPayload::image,    &SongInfoPayload::cover,       &SongInfoPayload::coverart,
    &SongInfoPayload::albumart,
};

} // namespace

std::optional<SongInfoPayload::CodingKeys> SongInfoPayload::codingKey(QStringView name)
{
    for (const KeyField &entry : keyFields) {
        if (name == entry.name)
            return entry.key;
    }
    return std::nullopt;
}

QString SongInfoPayload::stringValue(CodingKeys key)
{
    for (const KeyField &entry : keyFields) {
        if (entry.key == key)
            return entry.name;
    }
    return {};
}

std::optional<SongInfoPayload> SongInfoPayload::decode(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    // With duplicate names the last member wins, as QJsonObject keeps it.
    const QJsonObject object = document.object();
    SongInfoPayload payload;
    for (const KeyField &entry : keyFields) {
        const QJsonValue value = object.value(entry.name);
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isString())
            return std::nullopt;
        payload.*entry.field = value.toString();
    }
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
    for (const Field field : artworkPrecedence) {
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
