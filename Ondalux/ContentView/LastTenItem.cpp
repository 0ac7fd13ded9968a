#include "LastTenItem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <array>
#include <utility>

namespace {

using Field = std::optional<QString> LastTenItem::*;
using Key = LastTenItem::CodingKeys;

struct KeyedField
{
    Key key;
    const char *name;
    Field field;
};

// In CodingKeys order, which is also the order the keys are read in.
constexpr std::array<KeyedField, 13> fields{ {
    { Key::artist, "artist", &LastTenItem::artist },
    { Key::title, "title", &LastTenItem::title },
    { Key::mix, "mix", &LastTenItem::mix },
    { Key::year, "year", &LastTenItem::year },
    { Key::buycd, "buycd", &LastTenItem::buycd },
    { Key::picture, "picture", &LastTenItem::picture },
    { Key::artwork_url, "artwork_url", &LastTenItem::artwork_url },
    { Key::artwork, "artwork", &LastTenItem::artwork },
    { Key::cover, "cover", &LastTenItem::cover },
    { Key::coverart, "coverart", &LastTenItem::coverart },
    { Key::albumart, "albumart", &LastTenItem::albumart },
    { Key::image, "image", &LastTenItem::image },
    { Key::image_url, "image_url", &LastTenItem::image_url },
} };

constexpr bool inKeyOrder()
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (static_cast<std::size_t>(fields[i].key) != i)
            return false;
    }
    return true;
}
static_assert(inKeyOrder(), "fieldOf() indexes the table by key");

const KeyedField &fieldOf(Key key)
{
    return fields[static_cast<std::size_t>(key)];
}

// Absent and null give no list; an array gives a list only when every entry decodes.
// The outer optional is the failure.
std::optional<std::optional<QList<LastTenItem>>> decodeList(const QJsonValue &value)
{
    if (value.isUndefined() || value.isNull())
        return std::optional<QList<LastTenItem>>{};
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<LastTenItem> list;
    list.reserve(array.size());
    for (const QJsonValue &entry : array) {
        std::optional<LastTenItem> item = LastTenItem::decode(entry);
        if (!item)
            return std::nullopt;
        list.append(std::move(*item));
    }
    return std::optional<QList<LastTenItem>>(std::move(list));
}

} // namespace

std::optional<LastTenItem::CodingKeys> LastTenItem::codingKey(QStringView key)
{
    for (const KeyedField &field : fields) {
        if (key == QLatin1StringView(field.name))
            return field.key;
    }
    return std::nullopt;
}

QString LastTenItem::stringValue(CodingKeys key)
{
    return QLatin1StringView(fieldOf(key).name);
}

std::optional<QString> &LastTenItem::operator[](CodingKeys key)
{
    return this->*fieldOf(key).field;
}

const std::optional<QString> &LastTenItem::operator[](CodingKeys key) const
{
    return this->*fieldOf(key).field;
}

std::optional<LastTenItem> LastTenItem::decode(const QJsonValue &entry)
{
    LastTenItem item;
    item.id = QUuid::createUuid();
    if (!entry.isObject())
        return std::nullopt;
    const QJsonObject object = entry.toObject();
    for (const KeyedField &field : fields) {
        const QJsonValue value = object.value(QLatin1StringView(field.name));
        if (value.isUndefined() || value.isNull())
            continue;
        // Numbers and booleans are never taken as text.
        if (!value.isString())
            return std::nullopt;
        item.*field.field = value.toString();
    }
    return item;
}

std::optional<LastTenItem::Wrapped::CodingKeys> LastTenItem::Wrapped::codingKey(QStringView key)
{
    if (key == u"items")
        return CodingKeys::items;
    if (key == u"data")
        return CodingKeys::data;
    return std::nullopt;
}

QString LastTenItem::Wrapped::stringValue(CodingKeys key)
{
    return key == CodingKeys::items ? QStringLiteral("items") : QStringLiteral("data");
}

std::optional<LastTenItem::Wrapped> LastTenItem::Wrapped::decode(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    auto items = decodeList(object.value(stringValue(CodingKeys::items)));
    if (!items)
        return std::nullopt;
    auto data = decodeList(object.value(stringValue(CodingKeys::data)));
    if (!data)
        return std::nullopt;
    return Wrapped{ .items = std::move(*items), .data = std::move(*data) };
}

std::optional<QList<LastTenItem>> decodeItems(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;

    if (document.isArray()) {
        if (auto list = decodeList(document.array()); list && *list)
            return std::move(**list);
    }
    if (!document.isObject())
        return std::nullopt;
    std::optional<LastTenItem::Wrapped> wrapped = LastTenItem::Wrapped::decode(document.object());
    if (!wrapped)
        return std::nullopt;
    if (wrapped->items)
        return std::move(wrapped->items);
    return std::move(wrapped->data);
}
