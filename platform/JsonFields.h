#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// A record's text field and the JSON member it is read from, spelled exactly.
template<typename Record> struct JsonTextField
{
    QLatin1StringView name;
    std::optional<QString> Record::*member;
};

// Reads `fields` of `record` from `object`, in order. Absent and null leave a field absent, a
// string sets it as sent; anything else under a known name refuses the whole record (false), so
// a number is never taken as text. With duplicate names the last member wins, as QJsonObject
// keeps it.
template<typename Record, std::size_t N>
bool readTextFields(const QJsonObject &object, const std::array<JsonTextField<Record>, N> &fields,
                    Record &record)
{
    for (const JsonTextField<Record> &field : fields) {
        const QJsonValue value = object.value(field.name);
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isString())
            return false;
        record.*field.member = value.toString();
    }
    return true;
}
