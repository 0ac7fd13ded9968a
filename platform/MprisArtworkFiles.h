#pragma once

#include <QImage>
#include <QString>
#include <QUrl>

// The current artwork as a PNG file, since media panels read pictures by URL. Each new image
// gets a new file name, so panels that cache by URL pick it up; the previous file is removed
// when replaced, and the last one when this object goes. Main thread only.
class MprisArtworkFiles
{
public:
    // Files go straight into `directory`; an empty one means no files at all.
    explicit MprisArtworkFiles(const QString &directory);
    ~MprisArtworkFiles();
    MprisArtworkFiles(const MprisArtworkFiles &) = delete;
    MprisArtworkFiles &operator=(const MprisArtworkFiles &) = delete;

    // $XDG_RUNTIME_DIR when the session has one that is a directory (not a link) owned by this
    // user with no access for anyone else, else empty: artwork never goes anywhere less private
    // or less temporary.
    static QString sessionDirectory();

    // The file URL holding `image`, written only when the image differs from the current one.
    // An empty URL for a null image or when the file cannot be written; either removes the
    // previous file.
    QUrl urlFor(const QImage &image);
    // Removes the current file.
    void clear();

private:
    QString m_directory;
    QImage m_image;
    QString m_path;
    quint64 m_serial = 0;
};
