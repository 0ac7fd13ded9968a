// Last-ten documents as a hostile server might send them: decoded, and every record's artwork
// URL, store link and title line worked out as a row would.
#include "LastTenItem.h"
#include "LastTenRow.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QUrl base(u"https://radiobeatloom.example/api/lastten.json"_s);
    const QByteArray body(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto items = decodeItems(body);
    if (!items)
        return 0;
    for (const LastTenItem &item : *items) {
        if (const auto url = LastTenRow::artworkURL(item, base); url && !url->isValid())
            __builtin_trap();
        // The store link must never hand another scheme to the desktop.
        if (const auto url = LastTenRow::buyURL(item);
            url && url->scheme() != u"http"_s && url->scheme() != u"https"_s)
            __builtin_trap();
        if (LastTenRow::titleLine(item).isEmpty())
            __builtin_trap();
        (void)LastTenRow::artistText(item);
    }
    return 0;
}
