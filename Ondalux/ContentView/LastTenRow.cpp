#include "LastTenRow.h"

#include "ArtworkThumb.h"
#include "ContentAccessibility.h"
#include "ElidedLabel.h"
#include "LinkLabel.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr qreal captionScale = 0.85;

bool isWebURL(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == u"http" || url.scheme() == u"https");
}

QFont scaled(QFont font, qreal factor)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

QString spoken(const std::optional<QString> &text)
{
    return text.value_or(QString()).simplified();
}

QString spokenTitle(const LastTenItem &item)
{
    QString title = spoken(item.title);
    if (title.isEmpty())
        title = LastTenRow::tr("Unknown Title");
    const QString mix = spoken(item.mix);
    if (mix.isEmpty())
        return title;
    // Stations often send the mix already in brackets.
    if (mix.startsWith(u'(') || mix.startsWith(u'['))
        return title + u' ' + mix;
    return LastTenRow::tr("%1 (%2)").arg(title, mix);
}

} // namespace

LastTenRow::LastTenRow(const LastTenItem &item, const QUrl &baseURL, QWidget *parent)
    : LastTenRow(item, baseURL, HttpSession::shared(), parent)
{ }

LastTenRow::LastTenRow(const LastTenItem &item, const QUrl &baseURL, HttpSession &session,
                       QWidget *parent)
    : QWidget(parent)
    , m_item(item)
{
    ContentAccessibility::install();
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(spokenName(m_item));
    const std::optional<QUrl> link = buyURL(m_item);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 6, 0, 6);
    row->setSpacing(12);

    m_thumb = new ArtworkThumb(artworkURL(m_item, baseURL), session, this);
    m_thumb->setObjectName(QStringLiteral("artwork"));
    // The placeholder alone is never a link.
    if (link && m_thumb->url()) {
        m_thumb->setCursor(Qt::PointingHandCursor);
        connect(m_thumb, &ArtworkThumb::clicked, this, [url = *link] { openLink(url); });
    }
    row->addWidget(m_thumb, 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    auto *artist = new ElidedLabel(artistText(m_item), 1, this);
    artist->setObjectName(QStringLiteral("artist"));
    QFont artistFont = font();
    artistFont.setWeight(QFont::DemiBold);
    artist->setFont(artistFont);
    column->addWidget(artist);

    auto *title = new ElidedLabel(titleLine(m_item), 2, this);
    title->setObjectName(QStringLiteral("titleLine"));
    column->addWidget(title);

    const bool showsYear = m_item.year && !m_item.year->isEmpty();
    if (showsYear || link) {
        auto *details = new QHBoxLayout;
        details->setSpacing(8);
        if (showsYear) {
            auto *year = new ElidedLabel(*m_item.year, 1, this);
            year->setObjectName(QStringLiteral("year"));
            year->setFont(scaled(font(), captionScale));
            year->setTone(ElidedLabel::Tone::Secondary);
            year->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
            details->addWidget(year);
        }
        if (link) {
            auto *store = new LinkLabel(tr("Open in Apple Music"), this);
            store->setObjectName(QStringLiteral("storeLink"));
            store->setFont(scaled(font(), captionScale));
            store->setAccessibleDescription(spokenTrack(m_item));
            connect(store, &LinkLabel::activated, this, [url = *link] { openLink(url); });
            details->addWidget(store);
        }
        details->addStretch(1);
        column->addLayout(details);
    }
    column->addStretch(1);
    row->addLayout(column, 1);
}

std::optional<QUrl> LastTenRow::artworkURL(const LastTenItem &item, const QUrl &baseURL)
{
    static constexpr std::array precedence{
        &LastTenItem::picture, &LastTenItem::artwork_url, &LastTenItem::artwork,
        &LastTenItem::cover,   &LastTenItem::coverart,    &LastTenItem::albumart,
        &LastTenItem::image,   &LastTenItem::image_url,
    };
    for (const auto member : precedence) {
        const std::optional<QString> &reference = item.*member;
        if (!reference)
            continue;
        // The first present reference decides, even an empty or unusable one.
        if (reference->isEmpty())
            return std::nullopt;
        const QUrl parsed(*reference);
        if (!parsed.isValid())
            return std::nullopt;
        if (baseURL.isValid() && !baseURL.isRelative()) {
            const QUrl resolved = baseURL.resolved(parsed);
            if (resolved.isValid())
                return resolved;
        }
        return parsed;
    }
    return std::nullopt;
}

std::optional<QUrl> LastTenRow::buyURL(const LastTenItem &item)
{
    if (!item.buycd || item.buycd->isEmpty())
        return std::nullopt;
    const QUrl url(*item.buycd);
    if (!isWebURL(url))
        return std::nullopt;
    return url;
}

QString LastTenRow::titleLine(const LastTenItem &item)
{
    const QString title = item.title.value_or(QString()).trimmed();
    const QString mix = item.mix.value_or(QString()).trimmed();
    if (!mix.isEmpty())
        return title + QLatin1Char('\n') + mix;
    if (!title.isEmpty())
        return title;
    return tr("Unknown Title");
}

QString LastTenRow::artistText(const LastTenItem &item)
{
    return item.artist ? *item.artist : tr("Unknown Artist");
}

QString LastTenRow::spokenName(const LastTenItem &item)
{
    QStringList parts{ artistText(item).simplified(), spokenTitle(item), spoken(item.year) };
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

QString LastTenRow::spokenTrack(const LastTenItem &item)
{
    const QString artist = artistText(item).simplified();
    return artist.isEmpty() ? spokenTitle(item) : tr("%1 by %2").arg(spokenTitle(item), artist);
}

void LastTenRow::paintEvent(QPaintEvent *)
{
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

bool LastTenRow::openLink(const QUrl &url)
{
    if (!isWebURL(url))
        return false;
    return QDesktopServices::openUrl(url);
}
