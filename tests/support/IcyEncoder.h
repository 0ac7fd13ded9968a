#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The SHOUTcast/Icecast "ICY" metadata framing of one listener's stream: after every metaInt
// audio bytes comes a length byte L and L*16 bytes of "StreamTitle='...';StreamUrl='';" padded
// with NUL bytes. L is 0 while the title is the one this encoder last announced, unless it repeats.
class IcyEncoder
{
public:
    // metaInt: audio bytes between two metadata blocks, as announced in icy-metaint.
    explicit IcyEncoder(int metaInt);

    int metaInt() const { return m_metaInt; }

    // Announced in the next block unless it is the title that block's predecessor carried.
    void setTitle(const QString &title);
    // Every block carries the title, the same one again too.
    void setRepeating(bool repeating) { m_repeating = repeating; }

    // `audio` with the blocks due inside it; successive calls continue one stream, so chunks may
    // end anywhere.
    QByteArray encode(QByteArrayView audio);

    // The length byte and padded text announcing `title`, cut at a UTF-8 character boundary
    // when it would not fit in the 255*16 bytes one length byte can describe.
    static QByteArray metadataBlock(const QString &title);

private:
    QByteArray nextBlock();

    int m_metaInt;
    int m_untilBlock;
    std::optional<QString> m_title;
    std::optional<QString> m_announced;
    bool m_repeating = false;
};
