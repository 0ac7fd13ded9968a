#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One listener's ICY ("Icecast/SHOUTcast") metadata framing: after every metaInt audio bytes
// comes a length byte L and L*16 bytes of "StreamTitle='...';" padded with NUL bytes. L is 0
// when the title has not changed since the previous block, unless every block repeats it.
class IcyFraming
{
public:
    explicit IcyFraming(int metaInt);

    // Announced in the next block.
    void setTitle(const QString &title);
    // Every block after setTitle() carries the title, as some servers send it.
    void setRepeating(bool repeating) { m_repeating = repeating; }
    // `audio` with the blocks due inside it; successive calls continue one stream.
    QByteArray wrap(QByteArrayView audio);
    // Audio bytes left before the next block.
    int untilBlock() const { return m_untilBlock; }

private:
    QByteArray nextBlock();

    int m_metaInt;
    int m_untilBlock;
    QString m_title;
    bool m_announced = true;
    bool m_repeating = false;
};
