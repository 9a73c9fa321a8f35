#pragma once
// The application of a benchmark that opens windows: offscreen unless the
// environment says otherwise, and the windows' journals in a scratch data
// folder, never the user's.

#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

namespace meterlink::bench {

class WindowBenchApp {
public:
    WindowBenchApp(int& argc, char** argv) : quick_(argc > 1 && std::strcmp(argv[1], "--quick") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit());
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    // Whether the run was asked to be short (--quick).
    bool quick() const { return quick_; }

private:
    bool quick_;
    QTemporaryDir data_;
    std::unique_ptr<QApplication> app_;
};

}  // namespace meterlink::bench
