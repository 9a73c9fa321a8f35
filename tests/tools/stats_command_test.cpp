// meterlink-cli stats as a child process: its figures against pandas, its
// text, and how it refuses what it cannot use.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out, err;
};

CliRun runCli(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(METERLINK_CLI), args);
    CliRun run;
    if (!cli.waitForFinished(60000)) return run;
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = QString::fromUtf8(cli.readAllStandardOutput());
    run.err = QString::fromUtf8(cli.readAllStandardError());
    return run;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(StatsCommand, json_agrees_with_pandas_for_csv_and_json_lines) {
    QTemporaryDir dir;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(METERLINK_TESTS "/stats_against_pandas.py"), QStringLiteral(METERLINK_CLI), dir.path()});
    ASSERT_TRUE(python.waitForFinished(120000));
    const QByteArray err = python.readAllStandardError();
    if (python.exitCode() != 0 && err.contains("No module named 'pandas'")) GTEST_SKIP() << "python3-pandas is not installed";
    EXPECT_EQ(python.exitCode(), 0) << err.constData();
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), "ok");
}

TEST(StatsCommand, text_names_each_unit_and_counts_rows_it_cannot_average) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.xls"));
    // An older text log: times of day only, one overload, two units.
    writeFile(log, "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"
                   "1\t14:03:22\tDC\t1.000\tV\tpass\r\n"
                   "2\t14:03:23\tDC\t3.000\tV\tFail\r\n"
                   "3\t14:03:24\tDC\tOL\tV\tFail\r\n"
                   "4\t14:03:25\tOHM\t1.500\tk*\tpass\r\n");
    const CliRun run = runCli({QStringLiteral("stats"), log});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    for (const char* line : {"  V: 3 rows, 2 with a value, 1 overloads, 0 without a number",
                             "    minimum  1 V  row 1,", "    maximum  3 V  row 2,", "    mean     2 V",
                             "    std dev  1.4142135623730951 V", "    pass 1, fail 2 (33.3 % passed)",
                             "  \u03A9: 1 rows, 1 with a value", "    minimum  1500 \u03A9  row 4,",
                             "3 rows had no full time and were placed by their neighbours"})
        EXPECT_TRUE(run.out.contains(QString::fromUtf8(line))) << line << "\n" << run.out.toStdString();
}

TEST(StatsCommand, an_empty_range_still_gives_a_line_per_file) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log.jsonl"));
    writeFile(log, R"({"timestamp":"2026-12-10T16:08:55.000+01:00","value":1,"unit":"V","verdict":"pass"})" "\n");
    const CliRun run = runCli({QStringLiteral("stats"), log, QStringLiteral("--json"), QStringLiteral("--from"),
                            QStringLiteral("2027-01-01T00:00:00Z")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(),
              "{\"file\":\"" + log.toStdString() +
                  "\",\"unit\":null,\"count\":0,\"min\":null,\"min_time\":null,\"max\":null,\"max_time\":null,"
                  "\"mean\":null,\"std\":null,\"pass\":0,\"fail\":0,\"time_outside_s\":0,\"first\":null,\"last\":null,"
                  "\"duration_s\":0,\"values\":0,\"overloads\":0,\"no_number\":0,\"times_placed\":0}\n");
}

struct Refusal {
    const char* name;
    std::vector<const char*> args;
    int exitCode;
    const char* says;
};

class StatsRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(StatsRefuses, with_exit_code_and_reason) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("good.csv")), "timestamp,value,unit\n2026-12-10T16:08:55.000Z,1,V\n");
    QStringList args{QStringLiteral("stats")};
    for (const char* a : GetParam().args) args << QString::fromUtf8(a).replace(QStringLiteral("DIR"), dir.path());
    const CliRun run = runCli(args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().says))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatsRefuses,
    ::testing::Values(Refusal{"no_file", {}, 2, "usage: meterlink-cli stats"},
                      Refusal{"unknown_option", {"DIR/good.csv", "--mean"}, 2, "unknown option --mean"},
                      Refusal{"time_not_iso", {"DIR/good.csv", "--from", "yesterday"}, 2, "is no ISO 8601 time"},
                      Refusal{"time_missing", {"DIR/good.csv", "--to"}, 2, "--to needs a time"},
                      Refusal{"missing_file_after_a_good_one", {"DIR/good.csv", "DIR/missing.csv"}, 1,
                              "missing.csv: no such file"},
                      Refusal{"a_folder", {"DIR"}, 1, "a folder"}),
    [](const ::testing::TestParamInfo<Refusal>& i) { return std::string(i.param.name); });

}  // namespace
