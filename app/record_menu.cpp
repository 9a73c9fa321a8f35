#include "record_menu.h"

#include "recording/record_logger.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {

struct LimitItem {
    const char* name;   // N10001Click .. limitessClick in the design
    const char* caption;
    std::int32_t limit;
};

constexpr LimitItem kLimitItems[] = {
    {"N10001", "1000", 1000},
    {"N50001", "5000", 5000},
    {"N100001", "10000", meterlink::RecordLogger::kDefaultRecordLimit},
    {"N500001", "50000", 50000},
    {"N1000001", "100000", 100000},
    {"limitess", "limitless", meterlink::RecordLogger::kLimitless},
};

}  // namespace

RecordMenu::RecordMenu(QMenuBar* bar) : QObject(bar) {
    Record1_ = bar->addMenu(QStringLiteral("Record"));
    Record1_->setObjectName(QStringLiteral("Record1"));
    New1_ = Record1_->addAction(QStringLiteral("New"));
    New1_->setObjectName(QStringLiteral("New1"));
    New1_->setVisible(false);
    Save1_ = Record1_->addAction(QStringLiteral("Save"));
    Save1_->setObjectName(QStringLiteral("Save1"));
    Save1_->setVisible(false);
    Record1_->addSeparator()->setVisible(false);
    for (int i = 0; i < limitItemCount(); ++i) {
        const LimitItem& item = kLimitItems[i];
        QAction* a = Record1_->addAction(QString::fromLatin1(item.caption));
        a->setObjectName(QString::fromLatin1(item.name));
        a->setCheckable(true);
        a->setChecked(item.limit == meterlink::RecordLogger::kDefaultRecordLimit);
        connect(a, &QAction::triggered, this, [this, i] { chooseLimit(i); });
        limits_.append(a);
    }

    Record1_->addSeparator();
    RecordToFile1_ = Record1_->addAction(QStringLiteral("Record to File…"));
    RecordToFile1_->setObjectName(QStringLiteral("RecordToFile1"));
    StopRecording1_ = Record1_->addAction(QStringLiteral("Stop Recording to File"));
    StopRecording1_->setObjectName(QStringLiteral("StopRecording1"));
    StopRecording1_->setEnabled(false);

    ConfirmReadings1_ = Record1_->addMenu(QStringLiteral("Confirm readings"));
    ConfirmReadings1_->setObjectName(QStringLiteral("ConfirmReadings1"));
    for (int frames : confirmChoices()) {
        QAction* a = ConfirmReadings1_->addAction(
            frames == 1 ? QStringLiteral("Off") : QStringLiteral("%1 frames agree").arg(frames));
        a->setObjectName(QStringLiteral("Confirm%1").arg(frames));
        a->setCheckable(true);
        a->setChecked(frames == 1);
        a->setData(frames);
        connect(a, &QAction::triggered, this, [this, frames] { chooseConfirm(frames); });
        confirms_.append(a);
    }

    Record1_->addSeparator();
    analysis_ = Record1_->addAction(QStringLiteral("Analysis…"));

    // A bench of meters: one window per meter, recorded together.
    Record1_->addSeparator();
    NewMeterWindow1_ = Record1_->addAction(QStringLiteral("New Meter Window"));
    NewMeterWindow1_->setObjectName(QStringLiteral("NewMeterWindow1"));
    NewMeterWindow1_->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    BenchRecording1_ = Record1_->addAction(QStringLiteral("Start Bench Recording"));
    BenchRecording1_->setObjectName(QStringLiteral("BenchRecording1"));
    BenchRecording1_->setCheckable(true);
    SaveBench1_ = Record1_->addAction(QStringLiteral("Save Bench…"));
    SaveBench1_->setObjectName(QStringLiteral("SaveBench1"));
    BenchChannels1_ = Record1_->addAction(QStringLiteral("Bench Channels…"));
    BenchChannels1_->setObjectName(QStringLiteral("BenchChannels1"));
}

QList<int> RecordMenu::confirmChoices() { return {1, 2, 3, 5}; }

QAction* RecordMenu::confirmItem(int frames) const {
    for (QAction* a : confirms_)
        if (a->data().toInt() == frames) return a;
    return nullptr;
}

void RecordMenu::chooseConfirm(int frames) {
    if (!confirmItem(frames)) frames = 1;
    for (QAction* a : confirms_) a->setChecked(a->data().toInt() == frames);
    emit confirmChosen(frames);
}

QAction* RecordMenu::limitItem(int i) const { return limits_.at(i); }

int RecordMenu::limitItemCount() { return static_cast<int>(std::size(kLimitItems)); }

std::int32_t RecordMenu::limitOf(int i) { return kLimitItems[i].limit; }

void RecordMenu::chooseLimit(int i) {
    for (int j = 0; j < limits_.size(); ++j)
        limits_[j]->setChecked(j == i);
    emit limitChosen(kLimitItems[i].limit);
}
