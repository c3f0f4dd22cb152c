#pragma once

#include <QString>
#include <QTemporaryDir>

namespace orvanta::test {

// A small tmpfs to fill up; mounting needs root, else `mounted()` is false and `reason()` says why.
class SmallFileSystem {
public:
    explicit SmallFileSystem(qint64 bytes);
    ~SmallFileSystem();

    bool mounted() const { return m_mounted; }
    QString reason() const { return m_reason; }
    QString path() const { return m_dir.path(); }

    // Writes a filler file until the file system refuses more; returns the bytes written.
    qint64 fill();
    void drain();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_reason;
};

} // namespace orvanta::test
