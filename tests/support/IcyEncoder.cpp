#include "IcyEncoder.h"

#include <algorithm>

namespace {

constexpr QByteArrayView titlePrefix = "StreamTitle='";
constexpr QByteArrayView titleSuffix = "';StreamUrl='';";
constexpr qsizetype blockUnit = 16;
constexpr qsizetype maxBlockText = 255 * blockUnit;

bool isUtf8Continuation(char byte)
{
    return (static_cast<uchar>(byte) & 0xC0) == 0x80;
}

} // namespace

IcyEncoder::IcyEncoder(int metaInt)
    : m_metaInt(std::max(metaInt, 1))
    , m_untilBlock(m_metaInt)
{ }

void IcyEncoder::setTitle(const QString &title)
{
    m_title = title;
}

QByteArray IcyEncoder::encode(QByteArrayView audio)
{
    QByteArray out;
    out.reserve(audio.size() + (audio.size() / m_metaInt + 1) * 2);
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

QByteArray IcyEncoder::nextBlock()
{
    if (!m_title || (m_title == m_announced && !m_repeating))
        return QByteArray(1, '\0');
    m_announced = m_title;
    return metadataBlock(*m_title);
}

QByteArray IcyEncoder::metadataBlock(const QString &title)
{
    QByteArray text = title.toUtf8();
    const qsizetype room = maxBlockText - titlePrefix.size() - titleSuffix.size();
    if (text.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && isUtf8Continuation(text.at(cut)))
            --cut;
        text.truncate(cut);
    }
    const qsizetype length = titlePrefix.size() + text.size() + titleSuffix.size();
    const qsizetype units = (length + blockUnit - 1) / blockUnit;

    QByteArray block;
    block.reserve(1 + units * blockUnit);
    block.append(static_cast<char>(units));
    block.append(titlePrefix).append(text).append(titleSuffix);
    block.append(units * blockUnit - length, '\0');
    return block;
}
