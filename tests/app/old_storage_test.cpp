// Settings and journals left under the old application name (with blanks)
// move to the plain one on the first start, once.

#include "app/old_storage.h"
#include "recording/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

// The names the program runs under, for this test only.
class ProgramNames : public testing::Test {
protected:
    void SetUp() override {
        org_ = QCoreApplication::organizationName();
        app_ = QCoreApplication::applicationName();
        QCoreApplication::setOrganizationName(QStringLiteral("MeterLink"));
        QCoreApplication::setApplicationName(QStringLiteral("meterlink"));
        data_ = meterlink::Journal::folder();
        old_ = QDir(QFileInfo(data_).absolutePath()).filePath(old_storage::oldApplicationName());
        QDir(data_).removeRecursively();
        QDir(old_).removeRecursively();
        QDir().mkpath(old_);
        QSettings(QStringLiteral("MeterLink"), old_storage::oldApplicationName()).clear();
    }
    void TearDown() override {
        QDir(data_).removeRecursively();
        QDir(old_).removeRecursively();
        QCoreApplication::setOrganizationName(org_);
        QCoreApplication::setApplicationName(app_);
    }

    void put(const QString& name) {
        QFile f(QDir(old_).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("rows of " + name.toUtf8() + "\n");
    }
    QStringList files(const QString& dir) const { return QDir(dir).entryList(QDir::Files, QDir::Name); }

    QString org_, app_, data_, old_;
};

TEST_F(ProgramNames, JournalsFilesAndSettingsMoveOverOnce) {
    EXPECT_FALSE(data_.contains(QLatin1Char(' '))) << data_.toStdString();
    put(QStringLiteral("log-1.journal"));
    put(QStringLiteral("log-2.journal"));
    put(QStringLiteral("log-0.damaged.txt"));
    {
        QSettings old(QStringLiteral("MeterLink"), old_storage::oldApplicationName());
        old.setValue(QStringLiteral("limits/high"), QStringLiteral("5.5"));
        old.setValue(QStringLiteral("log/recordLimit"), 1000);
    }
    // A window of the old version still runs with this one.
    put(QStringLiteral("log-held.journal"));
    QLockFile held(QDir(old_).filePath(QStringLiteral("log-held.journal.lock")));
    ASSERT_TRUE(held.tryLock(0));

    const old_storage::Moved moved = old_storage::moveOver(data_);
    EXPECT_TRUE(moved.settings);
    EXPECT_EQ(moved.files, 3);
    EXPECT_TRUE(moved.failures.isEmpty()) << moved.failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(files(data_), (QStringList{"log-0.damaged.txt", "log-1.journal", "log-2.journal"}));
    EXPECT_EQ(files(old_), (QStringList{"log-held.journal", "log-held.journal.lock"}));
    QFile moved1(QDir(data_).filePath(QStringLiteral("log-1.journal")));
    ASSERT_TRUE(moved1.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved1.readAll(), QByteArray("rows of log-1.journal\n"));
    EXPECT_EQ(QSettings().value(QStringLiteral("limits/high")).toString(), QStringLiteral("5.5"));
    EXPECT_EQ(QSettings().value(QStringLiteral("log/recordLimit")).toInt(), 1000);
    EXPECT_TRUE(QSettings(QStringLiteral("MeterLink"), old_storage::oldApplicationName()).allKeys().isEmpty());

    // The old window ends: its journal moves at the next start, nothing else happens.
    held.unlock();
    const old_storage::Moved again = old_storage::moveOver(data_);
    EXPECT_FALSE(again.settings);
    EXPECT_EQ(again.files, 1);
    EXPECT_FALSE(QDir(old_).exists()) << "the emptied old folder goes";
    EXPECT_EQ(QSettings().value(QStringLiteral("limits/high")).toString(), QStringLiteral("5.5"));
}

TEST_F(ProgramNames, SettingsMadeUnderTheNewNameWin) {
    QSettings().setValue(QStringLiteral("limits/high"), QStringLiteral("7"));
    QSettings(QStringLiteral("MeterLink"), old_storage::oldApplicationName())
        .setValue(QStringLiteral("limits/high"), QStringLiteral("5.5"));
    put(QStringLiteral("log-1.journal"));
    QDir().mkpath(data_);
    QFile clash(QDir(data_).filePath(QStringLiteral("log-1.journal")));
    ASSERT_TRUE(clash.open(QIODevice::WriteOnly));
    clash.write("the new folder's own\n");
    clash.close();

    const old_storage::Moved moved = old_storage::moveOver(data_);
    EXPECT_FALSE(moved.settings);
    EXPECT_EQ(QSettings().value(QStringLiteral("limits/high")).toString(), QStringLiteral("7"));
    EXPECT_TRUE(QSettings(QStringLiteral("MeterLink"), old_storage::oldApplicationName()).allKeys().isEmpty());
    // Neither journal is lost: the moved one takes a free name.
    EXPECT_EQ(files(data_), (QStringList{"log-1-2.journal", "log-1.journal"}));
}

}  // namespace
