#pragma once
// "Find my meter…": tries the serial ports and looks for meter cables in a
// thread of its own, so the window never waits; shows what is being tried and
// what answered, and lets the user take one of the meters found.

#include "tools/found_meter.h"
#include "tools/meter_finder.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;

class FindMeterDialog : public QDialog {
    Q_OBJECT
public:
    FindMeterDialog(meterlink::MeterFinder::Options options, QWidget* parent = nullptr);
    ~FindMeterDialog() override;

    // Starts the search again (it starts once on its own when the dialog is built).
    void search();
    bool searching() const { return thread_ != nullptr; }
    const std::vector<meterlink::FoundMeter>& results() const { return results_; }

    // The result the user chose and the model picked among its candidates;
    // null while nothing is chosen.
    const meterlink::FoundMeter* chosen() const;
    const meterlink::MeterModel* chosenModel() const;

    QListWidget* resultList() const { return list_; }
    QComboBox* modelBox() const { return models_; }
    QPushButton* useButton() const { return use_; }
    QPushButton* searchButton() const { return again_; }

signals:
    void searchFinished();

private:
    void progress(const QString& port, const QString& what);
    void showResults(std::vector<meterlink::FoundMeter> results);
    void selectionChanged();
    void stop();

    meterlink::MeterFinder::Options options_;
    std::vector<meterlink::FoundMeter> results_;
    QThread* thread_ = nullptr;
    meterlink::MeterFinder* finder_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QListWidget* list_ = nullptr;
    QComboBox* models_ = nullptr;
    QPushButton* use_ = nullptr;
    QPushButton* again_ = nullptr;
};
