#include "LastTenItem.h"

#include "JsonFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// In the order the keys are read.
constexpr std::array<JsonTextField<LastTenItem>, 13> fields{ {
    { "artist"_L1, &LastTenItem::artist },
    { "title"_L1, &LastTenItem::title },
    { "mix"_L1, &LastTenItem::mix },
    { "year"_L1, &LastTenItem::year },
    { "buycd"_L1, &LastTenItem::buycd },
    { "picture"_L1, &LastTenItem::picture },
    { "artwork_url"_L1, &LastTenItem::artwork_url },
    { "artwork"_L1, &LastTenItem::artwork },
    { "cover"_L1, &LastTenItem::cover },
    { "coverart"_L1, &LastTenItem::coverart },
    { "albumart"_L1, &LastTenItem::albumart },
    { "image"_L1, &LastTenItem::image },
    { "image_url"_L1, &LastTenItem::image_url },
} };

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

std::optional<LastTenItem> LastTenItem::decode(const QJsonValue &entry)
{
    LastTenItem item;
    item.id = QUuid::createUuid();
    if (!entry.isObject())
        return std::nullopt;
    if (!readTextFields(entry.toObject(), fields, item))
        return std::nullopt;
    return item;
}

std::optional<LastTenItem::Wrapped> LastTenItem::Wrapped::decode(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    auto items = decodeList(object.value("items"_L1));
    if (!items)
        return std::nullopt;
    auto data = decodeList(object.value("data"_L1));
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
