// Recording the log to a file as it goes: each row reaches the file when it
// is logged, and a disk that refuses rows for a while loses none of them.

#include "recording/recording_file.h"
#include "../small_disk.h"
#include "table_rows.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using meterlink::RecordingFile;
using meterlink::RecordTable;
using meterlink::test::tableRow;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void logRow(RecordTable& table, RecordingFile& file, int no) {
    table.append(tableRow(no, "14:03:22", "DC", "5.999", "V", "pass"));
    file.appendRow(table, table.rowCount() - 1, ".");
}

struct FormatCase {
    const char* name;
    const char* firstLine;   // of a file with one row
    const char* rowPart;     // a piece of that row
};

class RecordingFormats : public testing::TestWithParam<FormatCase> {};

TEST_P(RecordingFormats, EachRowIsInTheFileOnceLogged) {
    const FormatCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("what the file held before\n");
    old.close();

    RecordTable table;
    RecordingFile file;
    QString why;
    ASSERT_TRUE(file.start(path, why)) << why.toStdString();
    logRow(table, file, 1);
    // Before stop(): the row is in the file, not in a buffer.
    const QList<QByteArray> lines = contents(path).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(c.firstLine)) << lines[0].toStdString();
    EXPECT_TRUE(contents(path).contains(c.rowPart)) << contents(path).toStdString();
    EXPECT_FALSE(contents(path).contains("held before"));
    logRow(table, file, 2);
    EXPECT_TRUE(file.stop());
    EXPECT_EQ(contents(path).count('\n'), QByteArray(c.firstLine).startsWith('{') ? 2 : 3);
}

const FormatCase kFormats[] = {
    {"run.csv", "timestamp,no,function,value,unit", ",1,DC,"},
    {"RUN.CSV", "timestamp,no,function,value,unit", ",1,DC,"},
    {"run.jsonl", "{\"timestamp\":", "\"no\":1,"},
};

INSTANTIATE_TEST_SUITE_P(Formats, RecordingFormats, testing::ValuesIn(kFormats),
                         [](const testing::TestParamInfo<FormatCase>& p) {
                             return QString::fromLatin1(p.param.name).replace(QLatin1Char('.'), QLatin1Char('_'))
                                 .toStdString();
                         });

TEST(RecordingFile, TakesOnlyCsvAndJsonLinesNames) {
    QTemporaryDir dir;
    RecordingFile file;
    for (const char* name : {"run.txt", "run.xls", "run.xml", "run"}) {
        QString why;
        EXPECT_FALSE(file.start(dir.filePath(QString::fromLatin1(name)), why)) << name;
        EXPECT_FALSE(why.isEmpty());
        EXPECT_FALSE(QFile::exists(dir.filePath(QString::fromLatin1(name)))) << "nothing made for " << name;
    }
    QString why;
    EXPECT_FALSE(file.start(dir.filePath(QStringLiteral("no/such/folder/run.csv")), why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(RecordingFile, RowsTheDiskRefusesAreKeptAndWrittenInOrderLater) {
    SmallDisk disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    const QString path = disk.filePath(QStringLiteral("run.csv"));
    RecordTable table;
    RecordingFile file;
    QSignalSpy failed(&file, &RecordingFile::writeFailed);
    QSignalSpy resumed(&file, &RecordingFile::writeResumed);
    QString why;
    ASSERT_TRUE(file.start(path, why)) << why.toStdString();
    logRow(table, file, 1);
    disk.fill();
    // The file's last block takes a few more rows before the disk refuses.
    constexpr int kRows = 400;
    for (int no = 2; no <= kRows; ++no) logRow(table, file, no);
    EXPECT_EQ(failed.count(), 1) << "told once, not once a row";
    const int waiting = file.pendingRows();
    EXPECT_GT(waiting, 100);
    ASSERT_FALSE(failed.isEmpty());
    EXPECT_TRUE(failed.front().front().toString().contains(path));

    file.retry();
    EXPECT_EQ(file.pendingRows(), waiting) << "the disk is still full";
    QFile::remove(disk.filePath(QStringLiteral("filler")));
    file.retry();
    EXPECT_EQ(file.pendingRows(), 0);
    EXPECT_EQ(resumed.count(), 1);
    logRow(table, file, kRows + 1);
    EXPECT_EQ(file.pendingRows(), 0);
    EXPECT_TRUE(file.stop());

    const QList<QByteArray> lines = contents(path).trimmed().split('\n');
    ASSERT_EQ(lines.size(), kRows + 2);
    for (int no = 1; no <= kRows + 1; ++no)
        ASSERT_EQ(lines[no].split(',').value(1).toInt(), no) << lines[no].toStdString();
}

}  // namespace
