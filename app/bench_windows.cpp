#include "bench_windows.h"

#include "bench_channels_window.h"
#include "connection_control.h"
#include "link_indicator.h"
#include "last_folder.h"
#include "record_bar.h"
#include "record_menu.h"
#include "tfcomm.h"

#include "links/hid_platform.h"
#include "protocol/meter_table.h"
#include "protocol/si_value.h"
#include "serve/scpi_board.h"
#include "serve/scpi_server.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QListWidget>
#include <QLineEdit>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSignalBlocker>

#include <cmath>

namespace {

constexpr const char* kSeats = "bench/windows";
constexpr const char* kMeterKey = "meter";
constexpr const char* kPortKey = "port";

const meterlink::MeterModel& meterOf(const BenchWindows::Seat& seat) {
    return seat.meter ? *seat.meter : meterlink::defaultMeter();
}

bool writeWhole(const QString& path, const std::string& bytes, QString& why) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) ||
        !file.commit()) {
        why = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace

BenchWindows::BenchWindows(std::shared_ptr<HidPlatform> hid, QObject* parent) : QObject(parent), hid_(std::move(hid)) {
    clock_.setTimerType(Qt::PreciseTimer);
    connect(&clock_, &QTimer::timeout, this, &BenchWindows::tick);
    since_.start();
}

BenchWindows::~BenchWindows() {
    clock_.stop();
    scpi_.reset();
    panel_.reset();
    for (TFCOMM* w : windows_) {
        disconnect(w, nullptr, this, nullptr);
        delete w;
    }
}

std::vector<BenchWindows::Seat> BenchWindows::seatsFromArguments(const QStringList& arguments, QString& why) {
    std::vector<Seat> seats;
    const meterlink::MeterModel* before = nullptr;
    const meterlink::MeterModel* first = nullptr;
    for (int i = 1; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        QString value;
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && equals > 0) {
            value = arg.mid(equals + 1);
            arg = arg.left(equals);
        } else if ((arg == QLatin1String("--meter") || arg == QLatin1String("--port")) && i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (arg == QLatin1String("--meter")) {
            before = meterlink::findMeter(value.toStdString());
            if (!before) {
                why = QStringLiteral("no meter named \"%1\"; \"meterlink-cli meters\" lists them").arg(value);
                return {};
            }
            if (!first) first = before;
        } else if (arg == QLatin1String("--port")) {
            seats.push_back({before, value});
        }
    }
    for (Seat& s : seats)
        if (!s.meter) s.meter = first;
    return seats;
}

std::vector<BenchWindows::Seat> BenchWindows::remembered() {
    std::vector<Seat> seats;
    QSettings settings;
    const int n = settings.beginReadArray(QLatin1String(kSeats));
    for (int i = 0; i < n; ++i) {
        settings.setArrayIndex(i);
        Seat seat;
        // A model no longer known gives the shipped meter, as the first window's choice does.
        seat.meter = meterlink::findMeter(settings.value(QLatin1String(kMeterKey)).toString().toStdString());
        seat.port = settings.value(QLatin1String(kPortKey)).toString();
        seats.push_back(seat);
    }
    settings.endArray();
    return seats;
}

void BenchWindows::remember() const {
    QSettings settings;
    settings.remove(QLatin1String(kSeats));
    // One window on a COM choice is no bench: its meter is the Meter menu's to keep.
    if (count() == 1 && windows_.front()->COMM2().portPath().isEmpty()) return;
    settings.beginWriteArray(QLatin1String(kSeats), count());
    for (int i = 0; i < count(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QLatin1String(kMeterKey), QString::fromStdString(meterlink::meterName(windows_[i]->meter())));
        settings.setValue(QLatin1String(kPortKey), windows_[i]->COMM2().portPath());
    }
    settings.endArray();
}

TFCOMM* BenchWindows::open(const Seat& seat, bool connectNow) {
    auto* w = new TFCOMM(nullptr, hid_);
    w->setAttribute(Qt::WA_DeleteOnClose);
    if (&meterOf(seat) != &meterlink::defaultMeter()) w->chooseMeter(meterOf(seat), false);
    if (!seat.port.isEmpty()) w->COMM2().setPortPath(seat.port);
    windows_.push_back(w);
    firstRows_.push_back(0);
    samplingBefore_.push_back(false);
    // Each window says which meter of the bench it is.
    const int number = count();
    w->setWindowTitle(w->windowTitle() + QStringLiteral(" [%1]").arg(number));
    connect(w, &QObject::destroyed, this, [this, w] { closed(w); });
    w->installEventFilter(this);
    RecordMenu* menu = w->recordMenu();
    connect(menu->NewMeterWindow1(), &QAction::triggered, this, [this] {
        TFCOMM* next = open(Seat{}, false);
        next->activateWindow();
    });
    connect(menu->BenchRecording1(), &QAction::triggered, this, [this](bool on) { setRecording(on); });
    connect(menu->SaveBench1(), &QAction::triggered, this, [this, w] { saveAsked(w); });
    connect(menu->BenchChannels1(), &QAction::triggered, this, [this] { showChannels(); });
    channels_.setMeterCount(count());
    if (recording_) {
        // A window opened during a recording joins it.
        firstRows_.back() = w->recordTable().rowCount();
        samplingBefore_.back() = w->recordBar()->RecordSI()->isChecked();
        w->recordBar()->RecordSI()->setChecked(true);
        w->setBenchClock([this] { return instant_; });
    }
    showRecording();
    startClock();
    w->show();
    if (connectNow && !seat.port.isEmpty()) w->connection().COMCon()->click();
    return w;
}

bool BenchWindows::eventFilter(QObject* watched, QEvent* event) {
    // The last window closing ends the program: the bench is kept as it was.
    if (event->type() == QEvent::Close && windows_.size() == 1 && watched == windows_.front()) remember();
    return QObject::eventFilter(watched, event);
}

void BenchWindows::closed(TFCOMM* window) {
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i] != window) continue;
        windows_.erase(windows_.begin() + std::ptrdiff_t(i));
        firstRows_.erase(firstRows_.begin() + std::ptrdiff_t(i));
        samplingBefore_.erase(samplingBefore_.begin() + std::ptrdiff_t(i));
        break;
    }
    // A window closed while others stay has left the bench.
    if (windows_.empty()) clock_.stop();
    else remember();
}

void BenchWindows::setRecording(bool on) {
    if (on == recording_ || windows_.empty()) {
        showRecording();
        return;
    }
    recording_ = on;
    if (on) {
        recordedOnce_ = true;
        calcRows_.clear();
        const int interval = windows_.front()->recordBar()->Timer3()->interval();
        for (std::size_t i = 0; i < windows_.size(); ++i) {
            TFCOMM* w = windows_[i];
            firstRows_[i] = w->recordTable().rowCount();
            samplingBefore_[i] = w->recordBar()->RecordSI()->isChecked();
            // Rows come on the bench's ticks only.
            w->recordBar()->RecordSI()->setChecked(true);
            w->setBenchClock([this] { return instant_; });
        }
        // The recording's instants start now, at the first window's interval.
        clock_.start(interval > 0 ? interval : 1000);
    } else {
        for (std::size_t i = 0; i < windows_.size(); ++i) {
            windows_[i]->setBenchClock({});
            windows_[i]->recordBar()->RecordSI()->setChecked(samplingBefore_[i]);
        }
    }
    showRecording();
    emit recordingChanged(on);
}

void BenchWindows::startClock() {
    if (clock_.isActive() || windows_.empty()) return;
    const int interval = windows_.front()->recordBar()->Timer3()->interval();
    clock_.start(interval > 0 ? interval : 1000);
}

void BenchWindows::tick() {
    // One instant for every window's row and every calculated channel.
    instant_ = meterlink::FullTime::now();
    if (recording_)
        for (TFCOMM* w : windows_) w->benchTick();
    const double interval = clock_.interval() / 1000.0;
    std::vector<BenchChannels::MeterInput> inputs;
    for (TFCOMM* w : windows_) {
        const meterlink::MeterReading& r = w->reading();
        BenchChannels::MeterInput in;
        // A reading older than twice the interval is no reading.
        in.fresh = !r.ValueText.empty() && w->linkIndicator().LinkIdleTicks() * 0.1 <= 2 * interval;
        const meterlink::SiValue si = meterlink::toSiValue(r.ValueText, r.UnitText, w->DecimalSepText().toStdString());
        in.hasValue = si.hasValue;
        in.overload = si.overload;
        in.negative = r.ValueText.find('-') != std::string::npos;
        in.value = si.value;
        in.unit = std::string(si.unit);
        in.fail = r.JudgeText == "Fail";
        inputs.push_back(in);
    }
    std::vector<meterlink::AlarmEvent> events;
    std::vector<meterlink::BenchSample> calcs = channels_.update(double(since_.elapsed()) / 1000.0, inputs, events);
    if (scpiBoard_) {
        for (std::size_t i = 0; i < inputs.size() && int(i) < scpiBoard_->channelCount(); ++i) {
            const meterlink::MeterReading& r = windows_[i]->reading();
            meterlink::ScpiReading s;
            s.hasValue = inputs[i].fresh && inputs[i].hasValue;
            s.overload = inputs[i].overload;
            s.negative = inputs[i].negative;
            s.value = inputs[i].value;
            s.unit = inputs[i].unit;
            s.function = r.FunctionText;
            if (inputs[i].fresh) scpiBoard_->setLatest(int(i) + 1, s);
        }
        for (std::size_t c = 0; c < calcs.size(); ++c) {
            const int channel = int(inputs.size() + c) + 1;
            if (channel > scpiBoard_->channelCount()) break;
            meterlink::ScpiReading s;
            s.hasValue = calcs[c].hasValue;
            s.value = calcs[c].value;
            s.unit = calcs[c].unit;
            scpiBoard_->setLatest(channel, s);
        }
    }
    if (recording_ && !calcs.empty()) calcRows_[instant_.utcMs] = calcs;
    showChannelRows();
    handle(events);
}

BenchChannelsWindow* BenchWindows::showChannels() {
    if (!panel_) {
        panel_ = std::make_unique<BenchChannelsWindow>();
        connect(panel_->addCalc(), &QPushButton::clicked, this, &BenchWindows::addCalcAsked);
        connect(panel_->addAlarm(), &QPushButton::clicked, this, &BenchWindows::addAlarmAsked);
        connect(panel_->scpiSwitch(), &QCheckBox::toggled, this, &BenchWindows::switchScpi);
        connect(panel_.get(), &BenchChannelsWindow::limitEdited, this, [this](int calc, bool high, const QString& text) {
            if (calc < 0 || std::size_t(calc) >= channels_.calcs().size()) return;
            const auto& c = channels_.calcs()[std::size_t(calc)];
            bool ok = false;
            const double value = text.toDouble(&ok);
            std::optional<double> limit = ok ? std::optional<double>(value) : std::nullopt;
            channels_.setLimits(std::size_t(calc), high ? c.low : limit, high ? limit : c.high);
        });
        for (const auto& a : channels_.alarms()) panel_->alarmList()->addItem(QString::fromStdString(a.text));
    }
    showChannelRows();
    panel_->show();
    panel_->raise();
    return panel_.get();
}

void BenchWindows::showChannelRows() {
    if (!panel_) return;
    QList<BenchChannelsWindow::Row> rows;
    for (int i = 0; i < count(); ++i) {
        const meterlink::MeterReading& r = windows_[std::size_t(i)]->reading();
        BenchChannelsWindow::Row row;
        row.name = QStringLiteral("CH%1").arg(i + 1);
        row.value = QString::fromStdString(r.ValueText).trimmed();
        row.unit = QString::fromStdString(r.UnitText);
        row.verdict = QString::fromStdString(r.JudgeText);
        rows << row;
    }
    for (const auto& c : channels_.calcs()) {
        BenchChannelsWindow::Row row;
        row.calculated = true;
        row.name = QString::fromStdString(c.formula.name());
        row.value = c.latest.hasValue ? QString::number(c.latest.value, 'g', 6) : QStringLiteral("no value");
        row.unit = QString::fromStdString(c.latest.unit.empty() ? c.formula.givenUnit() : c.latest.unit);
        row.low = c.low ? QString::number(*c.low, 'g', 10) : QString();
        row.high = c.high ? QString::number(*c.high, 'g', 10) : QString();
        row.verdict = c.latest.verdict == "pass" ? QStringLiteral("pass") : c.latest.verdict == "fail" ? QStringLiteral("Fail") : QString();
        rows << row;
    }
    panel_->showRows(rows);
}

void BenchWindows::addCalcAsked() {
    const QString text = panel_->calcEdit()->text().trimmed();
    if (text.isEmpty()) return;
    std::vector<std::string> units;
    for (TFCOMM* w : windows_) {
        const meterlink::MeterReading& r = w->reading();
        units.emplace_back(meterlink::toSiValue(r.ValueText, r.UnitText, w->DecimalSepText().toStdString()).unit);
    }
    const std::string why = channels_.addCalc(text.toStdString(), units);
    if (!why.empty()) {
        QMessageBox::critical(panel_.get(), QStringLiteral("Error"),
                              QStringLiteral("The calculated channel \"%1\" is not added: %2")
                                  .arg(text, QString::fromStdString(why)));
        return;
    }
    panel_->calcEdit()->clear();
    showChannelRows();
}

void BenchWindows::addAlarmAsked() {
    const QString text = panel_->alarmEdit()->text().trimmed();
    if (text.isEmpty()) return;
    const std::string why = channels_.addAlarm(text.toStdString());
    if (!why.empty()) {
        QMessageBox::critical(panel_.get(), QStringLiteral("Error"),
                              QStringLiteral("The alarm \"%1\" is not added: %2").arg(text, QString::fromStdString(why)));
        return;
    }
    panel_->alarmList()->addItem(text);
    panel_->alarmEdit()->clear();
}

void BenchWindows::switchScpi(bool on) {
    if (!on) {
        scpi_.reset();
        scpiBoard_.reset();
        return;
    }
    bool ok = false;
    const uint port = panel_->scpiPort()->text().trimmed().toUInt(&ok);
    const int channelCount = count() + int(channels_.calcs().size());
    scpiBoard_ = std::make_unique<meterlink::ScpiBoard>(
        channelCount, std::chrono::milliseconds(clock_.interval() > 0 ? clock_.interval() : 1000));
    scpi_ = std::make_unique<meterlink::ScpiServer>(*scpiBoard_, "MeterLink,bench,0," METERLINK_VERSION);
    if (!ok || port > 65535 || !scpi_->listen(QHostAddress::LocalHost, quint16(port))) {
        const QString why = ok && port <= 65535 ? scpi_->errorString() : QStringLiteral("the port must be a number from 0 to 65535");
        scpi_.reset();
        scpiBoard_.reset();
        QSignalBlocker quiet(panel_->scpiSwitch());
        panel_->scpiSwitch()->setChecked(false);
        QMessageBox::critical(panel_.get(), QStringLiteral("Error"), QStringLiteral("The SCPI server cannot start: %1").arg(why));
        return;
    }
    panel_->showMessage(QStringLiteral("SCPI server on localhost:%1 (channels 1 to %2)").arg(scpi_->port()).arg(channelCount));
}

void BenchWindows::handle(const std::vector<meterlink::AlarmEvent>& events) {
    for (const auto& e : events) {
        const meterlink::Alarm& alarm = channels_.alarms()[e.alarm];
        const QString name = QString::fromStdString(alarm.text);
        const QString reading = e.hasValue ? QStringLiteral("%1 %2").arg(e.value, 0, 'g', 6).arg(QString::fromStdString(e.unit))
                                           : QStringLiteral("no value");
        if (e.change == meterlink::ConditionChange::Cleared) {
            if (panel_) panel_->showMessage(QStringLiteral("alarm cleared: %1 (%2 %3)").arg(name, QString::fromStdString(e.channel), reading));
            continue;
        }
        // The alarm is told in the bench's window, never in a box that stops the logs.
        showChannels()->showMessage(QStringLiteral("alarm: %1 (%2 %3)").arg(name, QString::fromStdString(e.channel), reading));
        for (const auto& action : e.actions) {
            using Kind = meterlink::AlarmActionKind;
            switch (action.kind) {
            case Kind::Sound: QApplication::beep(); break;
            case Kind::Message: panel_->showMessage(QString::fromStdString(action.text)); break;
            case Kind::Mark:
                // The mark goes into the alarm messages, at the recording's instant.
                panel_->showMessage(QStringLiteral("mark: %1 at %2").arg(QString::fromStdString(e.channel),
                    QDateTime::fromMSecsSinceEpoch(instant_.utcMs).toString(QStringLiteral("HH:mm:ss.zzz"))));
                break;
            case Kind::StartLogging: setRecording(true); break;
            case Kind::StopLogging: setRecording(false); break;
            case Kind::Run: {
                const meterlink::CommandReading r = meterlink::commandReadingOf(e, name);
                runner_.run(action.argv, r, [this](const meterlink::CommandOutcome& o) {
                    if (!o.error.isEmpty() && panel_)
                        panel_->showMessage(QStringLiteral("alarm command %1: %2").arg(o.argv.value(0), o.error));
                });
                break;
            }
            case Kind::Mqtt: break;   // refused when the alarm was added
            }
        }
    }
}

void BenchWindows::showRecording() {
    for (TFCOMM* w : windows_) {
        QAction* item = w->recordMenu()->BenchRecording1();
        item->setChecked(recording_);
        item->setText(recording_ ? QStringLiteral("Stop Bench Recording") : QStringLiteral("Start Bench Recording"));
    }
}

std::vector<meterlink::BenchRow> BenchWindows::rows() const {
    std::vector<meterlink::BenchTable> tables;
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        const meterlink::RecordTable& table = windows_[i]->recordTable();
        // Close Data during the recording emptied the table: what is left is the bench's.
        const int first = recordedOnce_ && firstRows_[i] <= table.rowCount() ? firstRows_[i] : 0;
        tables.push_back({"CH" + std::to_string(i + 1), &table, first});
    }
    const std::string sep = windows_.empty() ? std::string(".") : windows_.front()->DecimalSepText().toStdString();
    std::vector<meterlink::BenchRow> rows = meterlink::benchRowsOf(tables, sep);
    // The calculated channels follow the meters, at the same instants.
    for (auto& row : rows) {
        const auto calcs = calcRows_.find(row.time.utcMs);
        for (std::size_t c = 0; c < channels_.calcs().size(); ++c) {
            if (calcs != calcRows_.end() && c < calcs->second.size())
                row.samples.push_back(calcs->second[c]);
            else
                row.samples.push_back(meterlink::missingSample(channels_.calcs()[c].formula.name()));
        }
    }
    return rows;
}

QString BenchWindows::widePathFor(const QString& path) {
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-wide.csv"));
}

bool BenchWindows::save(const QString& path, QString& why) const {
    const std::vector<meterlink::BenchRow> all = rows();
    std::string longForm;
    std::string wide;
    const bool json = path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive);
    if (!json) meterlink::appendBenchCsvHeader(longForm, "\r\n");
    meterlink::BenchWideCsv wideCsv;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (json)
            meterlink::appendBenchJsonLines(longForm, all[i], "\n");
        else
            meterlink::appendBenchCsvRecords(longForm, all[i], "\r\n");
        if (i == 0) wideCsv.appendHeader(wide, all, "\r\n");
        wideCsv.appendRow(wide, all[i], "\r\n");
    }
    if (all.empty()) {
        std::string header = "timestamp";
        for (int i = 1; i <= count(); ++i) header += ",CH" + std::to_string(i);
        wide = header + "\r\n";
    }
    return writeWhole(path, longForm, why) && writeWhole(widePathFor(path), wide, why);
}

void BenchWindows::saveAsked(TFCOMM* from) {
    QFileDialog dialog(from, QStringLiteral("Save Bench"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("CSV, long form (*.csv)"), QStringLiteral("JSON lines, long form (*.jsonl)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    last_folder::applyTo(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString path = dialog.selectedFiles().front();
    if (dialog.selectedNameFilter().contains(QLatin1String("jsonl")) && !path.endsWith(QLatin1String(".jsonl")))
        path += QStringLiteral(".jsonl");
    last_folder::remember(path);
    QString why;
    if (!save(path, why)) {
        QMessageBox::critical(from, QStringLiteral("Error"), QStringLiteral("The bench was not saved: %1").arg(why));
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                    QStringLiteral("The bench was saved in %1 and %2.").arg(path, widePathFor(path)), QMessageBox::Ok,
                    from);
    box.exec();
}
