#pragma once
// A tmpfs of a test's own, where it can fill the disk or make it read-only.
// Needs root (and a system that lets it mount); tests skip otherwise.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/mount.h>
#include <unistd.h>

class SmallDisk {
public:
    // options as mount(8) takes them, e.g. "size=64k".
    explicit SmallDisk(const char* options) {
        if (geteuid() == 0 && dir_.isValid())
            mounted_ = mount("tmpfs", dir_.path().toLocal8Bit().constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(dir_.path().toLocal8Bit().constData());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return QDir(dir_.path()).filePath(name); }
    bool makeReadOnly() {
        return mount(nullptr, dir_.path().toLocal8Bit().constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Writes a file named "filler" until no more than `leave` bytes are free.
    void fill(qint64 leave = 0) {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
        const QByteArray page(4096, 'f');
        for (;;) {
            const qint64 free = QStorageInfo(path()).bytesAvailable();
            if (free <= leave) break;
            const qint64 n = std::min<qint64>(page.size(), free - leave);
            if (filler.write(page.constData(), n) != n) break;
        }
    }

    static constexpr const char* kSkipReason = "needs root and a system that lets it mount a small tmpfs";

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};
