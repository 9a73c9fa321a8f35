#include "app/find_meter_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

using meterlink::FoundMeter;

FindMeterDialog::FindMeterDialog(meterlink::MeterFinder::Options options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("FindMeterDialog"));
    setWindowTitle(QStringLiteral("Find my meter"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Switch the meter on and its data output on, plug its cable in, and "
                                            "wait: each serial port is listened to, then asked, and the meter "
                                            "cables are recognised by their USB ids."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("FindMeterStatus"));
    layout->addWidget(status_);
    busy_ = new QProgressBar(this);
    busy_->setRange(0, 0);   // no end known: the bar shows it is working
    busy_->setTextVisible(false);
    layout->addWidget(busy_);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("FindMeterResults"));
    list_->setMinimumSize(680, 140);
    layout->addWidget(list_);
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(new QLabel(QStringLiteral("Model:"), this));
    models_ = new QComboBox(this);
    models_->setObjectName(QStringLiteral("FindMeterModel"));
    models_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    modelRow->addWidget(models_, 1);
    layout->addLayout(modelRow);
    auto* buttons = new QDialogButtonBox(this);
    use_ = buttons->addButton(QStringLiteral("&Use this meter"), QDialogButtonBox::AcceptRole);
    again_ = buttons->addButton(QStringLiteral("&Search again"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(again_, &QPushButton::clicked, this, &FindMeterDialog::search);
    connect(list_, &QListWidget::currentRowChanged, this, &FindMeterDialog::selectionChanged);
    search();
}

FindMeterDialog::~FindMeterDialog() { stop(); }

void FindMeterDialog::stop() {
    if (!thread_) return;
    // The probers live in the search's thread: they are stopped and deleted there.
    meterlink::MeterFinder* finder = finder_;
    QMetaObject::invokeMethod(finder, [finder] { delete finder; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    finder_ = nullptr;
}

void FindMeterDialog::search() {
    if (thread_) return;
    results_.clear();
    list_->clear();
    selectionChanged();
    again_->setEnabled(false);
    busy_->setVisible(true);
    status_->setText(QStringLiteral("Searching…"));
    thread_ = new QThread;
    finder_ = new meterlink::MeterFinder(options_);
    finder_->moveToThread(thread_);
    meterlink::MeterFinder* finder = finder_;
    connect(thread_, &QThread::started, finder, &meterlink::MeterFinder::start);
    connect(finder, &meterlink::MeterFinder::progress, this, &FindMeterDialog::progress, Qt::QueuedConnection);
    // Read in the search's thread, handed over by value.
    connect(finder, &meterlink::MeterFinder::finished, finder, [this, finder] {
        std::vector<FoundMeter> results = finder->results();
        QMetaObject::invokeMethod(this, [this, results = std::move(results)]() mutable {
            stop();
            showResults(std::move(results));
        }, Qt::QueuedConnection);
    });
    thread_->start();
}

void FindMeterDialog::progress(const QString& port, const QString& what) {
    if (thread_) status_->setText(QStringLiteral("%1: %2…").arg(port, what));
}

void FindMeterDialog::showResults(std::vector<FoundMeter> results) {
    results_ = std::move(results);
    busy_->setVisible(false);
    again_->setEnabled(true);
    list_->clear();
    int found = 0;
    int first = -1;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        const FoundMeter& r = results_[i];
        // The model box names every candidate; the line names a few.
        auto* item = new QListWidgetItem(meterlink::foundMeterText(r, 2), list_);
        item->setToolTip(meterlink::foundMeterText(r));
        const bool usable = r.status == FoundMeter::Status::Found && !r.candidates.empty();
        if (!usable) item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        if (r.status == FoundMeter::Status::Found) ++found;
        if (usable && first < 0) first = static_cast<int>(i);
    }
    if (results_.empty())
        status_->setText(QStringLiteral("No serial port or meter cable to try."));
    else if (found == 0)
        status_->setText(QStringLiteral("No meter answered. Is it on, with its data output on?"));
    else
        status_->setText(QStringLiteral("Found %1. Choose one and its model.").arg(found));
    if (first >= 0) list_->setCurrentRow(first);
    selectionChanged();
    emit searchFinished();
}

void FindMeterDialog::selectionChanged() {
    models_->clear();
    const FoundMeter* found = chosen();
    if (found)
        for (const meterlink::MeterModel* m : found->candidates)
            models_->addItem(QString::fromStdString(meterlink::meterName(*m)),
                             QVariant::fromValue(static_cast<const void*>(m)));
    models_->setEnabled(models_->count() > 1);
    use_->setEnabled(found != nullptr && models_->count() > 0);
}

const FoundMeter* FindMeterDialog::chosen() const {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= results_.size()) return nullptr;
    const FoundMeter& r = results_[static_cast<std::size_t>(row)];
    if (r.status != FoundMeter::Status::Found || r.candidates.empty()) return nullptr;
    return &r;
}

const meterlink::MeterModel* FindMeterDialog::chosenModel() const {
    if (!chosen() || models_->currentIndex() < 0) return nullptr;
    return static_cast<const meterlink::MeterModel*>(models_->currentData().value<const void*>());
}
