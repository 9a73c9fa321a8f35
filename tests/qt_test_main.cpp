// GoogleTest main for tests that need a QApplication (widgets, timers).
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every test starts from the default settings, in a scratch store that no
// real user's settings share.
class FreshSettings : public ::testing::EmptyTestEventListener {
public:
    explicit FreshSettings(QString dir) : dir_(std::move(dir)) {}
    void OnTestStart(const ::testing::TestInfo&) override {
        QSettings().clear();
        QDir(dir_).removeRecursively();
        QDir().mkpath(dir_);
    }

private:
    QString dir_;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Set before anything reads it, and inherited by the programs tests start.
    QTemporaryDir scratch;
    const QString config = scratch.path() + QStringLiteral("/config");
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    // Windows under test keep journals: in a scratch data folder, never the
    // user's, and a new one each run so no earlier run's journal is found.
    qputenv("XDG_DATA_HOME", (scratch.path() + QStringLiteral("/data")).toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings(config));
    return RUN_ALL_TESTS();
}
