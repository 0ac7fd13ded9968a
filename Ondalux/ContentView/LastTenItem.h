#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

class QJsonValue;

// One recently played track, as one entry of a station's last-ten document. Every text is kept
// exactly as sent; absent and empty stay apart.
struct LastTenItem
{
    struct Wrapped;

    // Made afresh for every decoded record, never read from the document.
    QUuid id{};
    std::optional<QString> artist{};
    std::optional<QString> title{};
    std::optional<QString> mix{};
    std::optional<QString> year{};
    std::optional<QString> buycd{}; // the track's store page, an absolute URL as text
    // Artwork references, absolute or relative to the document, in order of precedence.
    std::optional<QString> picture{};
    std::optional<QString> artwork_url{};
    std::optional<QString> artwork{};
    std::optional<QString> cover{};
    std::optional<QString> coverart{};
    std::optional<QString> albumart{};
    std::optional<QString> image{};
    std::optional<QString> image_url{};

    // One entry; none when it is not an object or a known key holds anything but a string or
    // null.
    static std::optional<LastTenItem> decode(const QJsonValue &entry);
};

// The object form of the document.
struct LastTenItem::Wrapped
{
    std::optional<QList<LastTenItem>> items{};
    std::optional<QList<LastTenItem>> data{};

    // None when `value` is not an object, or "items" or "data" is neither absent, null nor an
    // array of entries that all decode.
    static std::optional<Wrapped> decode(const QJsonValue &value);
};

// The records of a last-ten document in document order, uncapped: a top-level array of entries,
// else an object's "items" (even when empty), else its "data". None when the body fits neither
// shape; one bad entry fails the whole list.
std::optional<QList<LastTenItem>> decodeItems(const QByteArray &body);
