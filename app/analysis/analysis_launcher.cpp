#include "analysis_launcher.h"

#include "analysis_window.h"

#include "protocol/limit_value.h"

#include <QLineEdit>

namespace meterlink::analysis {

namespace {

// A limit edit's text as the chart draws it; none when it is no limit.
std::optional<AnalysisWindow::Limit> limitOf(const QString& text, const QString& decimalSep) {
    const std::string typed = text.toStdString();
    const LimitValue limit = parseLimit(typed, decimalSep.toStdString());
    if (!limit.valid) return std::nullopt;
    return AnalysisWindow::Limit{limit.value, limit.hasUnit ? QString::fromUtf8(limit.unit.data(),
                                                                                static_cast<qsizetype>(limit.unit.size()))
                                                            : QString()};
}

}  // namespace

AnalysisLauncher::AnalysisLauncher(const RecordTable& live, std::function<QString()> decimalSep, QLineEdit* high,
                                   QLineEdit* low, QWidget* owner)
    : QObject(owner), live_(live), decimalSep_(std::move(decimalSep)), high_(high), low_(low), owner_(owner) {}

AnalysisWindow* AnalysisLauncher::open() {
    if (!window_) {
        window_ = new AnalysisWindow(live_, decimalSep_(), owner_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        const auto limits = [this] {
            if (window_ && high_ && low_)
                window_->setLimits(limitOf(high_->text(), decimalSep_()), limitOf(low_->text(), decimalSep_()));
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
