#include "analysis_launcher.h"

#include "analysis_window.h"

#include <QLineEdit>

namespace meterlink::analysis {

AnalysisLauncher::AnalysisLauncher(const RecordTable& live, std::function<QString()> decimalSep, QLineEdit* high,
                                   QLineEdit* low, QWidget* owner)
    : QObject(owner), live_(live), decimalSep_(std::move(decimalSep)), high_(high), low_(low), owner_(owner) {}

AnalysisWindow* AnalysisLauncher::open() {
    if (!window_) {
        window_ = new AnalysisWindow(live_, decimalSep_(), owner_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        const auto limits = [this] {
            if (window_ && high_ && low_) window_->setLimitTexts(high_->text(), low_->text());
        };
        limits();
        if (high_) connect(high_, &QLineEdit::textChanged, window_, limits);
        if (low_) connect(low_, &QLineEdit::textChanged, window_, limits);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    return window_;
}

}  // namespace meterlink::analysis
