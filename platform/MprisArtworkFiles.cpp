#include "MprisArtworkFiles.h"

#include "PngEncoder.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Panels show artwork small, and the file is written on the main thread as playback starts:
// a small size and light compression keep that short.
constexpr int largestSide = 256;

// Writes `image` to `path` through a fresh file beside it, renamed over it, so a panel never
// reads half a picture; a link at either name is replaced, never followed.
bool writePng(const QImage &image, const QString &path)
{
    const QByteArray png = PngEncoder::encode(image);
    if (png.isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(path);
    const QByteArray aside = target + ".part";
    unlink(aside.constData());
    const int fd = open(aside.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    QFile file;
    bool written = file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
        && file.write(png) == png.size() && file.flush();
    file.close();
    written = written && file.error() == QFileDevice::NoError
        && rename(aside.constData(), target.constData()) == 0;
    if (!written)
        unlink(aside.constData());
    return written;
}

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
    const QByteArray directory = qgetenv("XDG_RUNTIME_DIR");
    // As the XDG base directory rules require: ours alone, or not used. Where others may write,
    // they could plant a link at the next file's name.
    struct stat info = {};
    if (directory.isEmpty() || lstat(directory.constData(), &info) != 0 || !S_ISDIR(info.st_mode)
        || info.st_uid != geteuid() || (info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return {};
    return QFile::decodeName(directory);
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
    if (!writePng(fitted, path))
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
