#pragma once

#include "HttpSession.h"
#include "LastTenItem.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <optional>

class ArtworkThumb;

// One recently played track: its artwork thumbnail beside the artist, the title line and a
// line with the year and the store link. Holds nothing but what it is given. A keyboard focus
// stop of its own, so a screen reader reads each row as one list item. Main thread.
class LastTenRow : public QWidget
{
    Q_OBJECT

public:
    // `baseURL` is where the last-ten document came from; artwork references resolve against
    // it. Thumbnails load through `session`.
    LastTenRow(const LastTenItem &item, const QUrl &baseURL, HttpSession &session,
               QWidget *parent = nullptr);
    // Loads thumbnails through the process's HTTP session.
    LastTenRow(const LastTenItem &item, const QUrl &baseURL, QWidget *parent = nullptr);

    const LastTenItem &item() const { return m_item; }
    ArtworkThumb *thumb() const { return m_thumb; }

    // The first present artwork reference of picture, artwork_url, artwork, cover, coverart,
    // albumart, image and image_url (an empty one counts), resolved against `baseURL`; none
    // when there is no reference or it does not parse.
    static std::optional<QUrl> artworkURL(const LastTenItem &item, const QUrl &baseURL);
    // `buycd` as an absolute http or https URL; none when absent, unparsable or of any other
    // scheme, so a document can never make the desktop launch another kind of handler.
    static std::optional<QUrl> buyURL(const LastTenItem &item);
    // The trimmed title over the trimmed mix, the title alone, or "Unknown Title".
    static QString titleLine(const LastTenItem &item);
    // `artist` exactly as sent, or "Unknown Artist" when absent.
    static QString artistText(const LastTenItem &item);
    // Hands `url` to the desktop's default handler, only when it is an http or https URL.
    static bool openLink(const QUrl &url);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The row read aloud: artist, title with the mix in parentheses (unless it comes in
    // brackets), year; blank parts left out, line breaks read as spaces.
    static QString spokenName(const LastTenItem &item);
    // The track named without the year, for the store link's description: "Title (Mix) by Artist".
    static QString spokenTrack(const LastTenItem &item);

    LastTenItem m_item;
    ArtworkThumb *m_thumb = nullptr;
};
