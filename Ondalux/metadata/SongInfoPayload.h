#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The decoded song-info document: which track is on air and where its cover is. Every field is
// absent or a string, which may be empty; empty and absent stay apart.
struct SongInfoPayload
{
    // One payload from a whole response body, or none when it is not JSON, not an object, or
    // holds something other than a string or null under a key.
    static std::optional<SongInfoPayload> decode(const QByteArray &body);

    // The one-line now-playing text; `stationName` stands in when artist and title are blank.
    QString nowPlayingText(const QString &stationName) const;

    // The first artwork key present, even when its value is empty.
    std::optional<QString> artworkReference() const;

    // `reference` resolved against the song-info document's URL (RFC 3986, section 5); none for
    // an empty reference or one that does not give an absolute URL.
    static std::optional<QUrl> resolveArtworkReference(const QString &reference,
                                                       const QUrl &songInfoUrl);

    std::optional<QString> artist{};
    std::optional<QString> title{};
    std::optional<QString> mix{};
    std::optional<QString> picture{};
    std::optional<QString> artwork_url{};
    std::optional<QString> artwork{};
    std::optional<QString> image{};
    std::optional<QString> cover{};
    std::optional<QString> coverart{};
    std::optional<QString> albumart{};

    friend bool operator==(const SongInfoPayload &, const SongInfoPayload &) = default;
};
