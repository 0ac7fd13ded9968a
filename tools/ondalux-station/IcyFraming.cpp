#include "IcyFraming.h"

#include <algorithm>

namespace {

constexpr qsizetype blockUnit = 16;
// Keeps a block within the 255 units one length byte counts, whatever the characters' sizes.
constexpr qsizetype maxTitleCharacters = 200;

} // namespace

IcyFraming::IcyFraming(int metaInt)
    : m_metaInt(std::max(metaInt, 1))
    , m_untilBlock(m_metaInt)
{ }

void IcyFraming::setTitle(const QString &title)
{
    m_title = title;
    m_announced = false;
}

QByteArray IcyFraming::wrap(QByteArrayView audio)
{
    QByteArray out;
    out.reserve(audio.size() + 64);
    while (!audio.isEmpty()) {
        const qsizetype take = std::min<qsizetype>(m_untilBlock, audio.size());
        out.append(audio.first(take));
        audio = audio.sliced(take);
        m_untilBlock -= static_cast<int>(take);
        if (m_untilBlock == 0) {
            out.append(nextBlock());
            m_untilBlock = m_metaInt;
        }
    }
    return out;
}

QByteArray IcyFraming::nextBlock()
{
    if (m_announced)
        return QByteArray(1, '\0');
    m_announced = !m_repeating;
    // A quote would end the value early: listeners do not unescape.
    QString title = m_title.left(maxTitleCharacters);
    title.replace(u'\'', u'\u2019');
    const QByteArray text = "StreamTitle='" + title.toUtf8() + "';";
    const qsizetype units = (text.size() + blockUnit - 1) / blockUnit;
    QByteArray block(1, static_cast<char>(units));
    block.append(text);
    block.append(units * blockUnit - text.size(), '\0');
    return block;
}
