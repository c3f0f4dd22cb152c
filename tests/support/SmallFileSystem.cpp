#include "SmallFileSystem.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace orvanta::test {

constexpr auto fillerName = "filler";

SmallFileSystem::SmallFileSystem(qint64 bytes) {
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    const QByteArray target = QFile::encodeName(m_dir.path());
    m_mounted = ::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                        options.constData()) == 0;
    if (!m_mounted)
        m_reason = "cannot mount a tmpfs: " + QString::fromLocal8Bit(strerror(errno));
}

SmallFileSystem::~SmallFileSystem() {
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

qint64 SmallFileSystem::fill() {
    const QByteArray file = QFile::encodeName(m_dir.filePath(QString::fromLatin1(fillerName)));
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    qint64 written = 0;
    // Large blocks first, then single bytes for the last partial page.
    for (const std::size_t block : {std::size_t(64 * 1024), std::size_t(1024), std::size_t(1)}) {
        const std::string bytes(block, 'x');
        while (true) {
            const ssize_t count = ::write(fd, bytes.data(), bytes.size());
            if (count <= 0)
                break;
            written += count;
        }
    }
    ::close(fd);
    return written;
}

void SmallFileSystem::drain() {
    QFile::remove(m_dir.filePath(QString::fromLatin1(fillerName)));
}

} // namespace orvanta::test
