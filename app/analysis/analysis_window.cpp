#include "analysis_window.h"

#include "analysis_chart.h"
#include "axis_ticks.h"
#include "log_trace.h"

#include "recording/data_files.h"
#include "recording/record_table.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSplitter>
#include <QSvgGenerator>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace meterlink::analysis {

namespace {

// Rows taken in per turn of the event loop: a few milliseconds' work, so a
// huge log never holds the window up.
constexpr std::size_t kSliceRows = 100'000;
// Live rows are drawn in batches: the chart is repainted at most this often.
constexpr int kLiveRedrawMs = 1000;
constexpr int kTextsMs = 1000;
// Live rows alone refresh the figures beside the chart this often.
constexpr int kLiveTextsMs = 3000;

const QColor kTraceColours[] = {QColor(0, 70, 200),  QColor(230, 120, 0), QColor(0, 150, 70),
                                QColor(160, 40, 170), QColor(140, 90, 40), QColor(0, 150, 160)};

// The statistics panel: rich text that changes every few seconds while rows
// come in. A plain word-wrapped label works its size hints out afresh at each
// change, laying the text out half a dozen times over for a scroll area that
// needs only its height at the panel's width. Its hints are kept from the
// first text instead: the splitter reads them once, when it first shows.
class StatisticsLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override {
        if (!hint_.isValid()) hint_ = QLabel::sizeHint();
        return hint_;
    }
    QSize minimumSizeHint() const override {
        if (!minimumHint_.isValid()) minimumHint_ = QLabel::minimumSizeHint();
        return minimumHint_;
    }

private:
    mutable QSize hint_, minimumHint_;
};

QString symbolOf(BaseUnit unit) {
    const std::string_view s = baseUnitSymbol(unit);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString unitName(BaseUnit unit) {
    return unit == BaseUnit::Unknown ? QStringLiteral("no unit") : symbolOf(unit);
}

// A value with the prefix that suits it: 5.0123 V, 12.5 mV, 1.2 kΩ.
QString valueText(double v, BaseUnit unit) {
    const SiPrefix prefix = prefixForSpan(v, v);
    return QString::number(v / prefix.factor, 'g', 6) + QLatin1Char(' ') + prefix.symbol + symbolOf(unit);
}

QString timeText(const FullTime& t) { return readoutTime(static_cast<double>(t.utcMs), t.offsetMinutes); }

QString verdictText(RowVerdict v) {
    switch (v) {
    case RowVerdict::Pass: return QStringLiteral("pass");
    case RowVerdict::Fail: return QStringLiteral("Fail");
    default: return QStringLiteral("not judged");
    }
}

// The rows of a trace drawn between two moments of the chart.
std::pair<std::size_t, std::size_t> rowsBetween(const LogTrace& trace, double t0, double t1) {
    const int n = trace.rowCount();
    const int a = std::min(trace.timeline().lowerBound(t0 - trace.shiftMs()), n);
    const int b = std::min(trace.timeline().lowerBound(std::nextafter(t1 - trace.shiftMs(), INFINITY)), n);
    return {static_cast<std::size_t>(a), static_cast<std::size_t>(std::max(a, b))};
}

QString cells(const UnitStatistics& s, BaseUnit unit, int which) {
    const auto v = [&](const std::optional<double>& x) { return x ? valueText(*x, unit) : QStringLiteral("–"); };
    switch (which) {
    case 0: return QString::number(s.count);
    case 1: return s.min ? valueText(s.min->value, unit) + QStringLiteral("<br><small>") + timeText(s.min->time) +
                               QStringLiteral(" · row %1</small>").arg(s.min->row + 1)
                         : QStringLiteral("–");
    case 2: return s.max ? valueText(s.max->value, unit) + QStringLiteral("<br><small>") + timeText(s.max->time) +
                               QStringLiteral(" · row %1</small>").arg(s.max->row + 1)
                         : QStringLiteral("–");
    case 3: return v(s.mean);
    case 4: return v(s.std);
    case 5: return QStringLiteral("%1 / %2").arg(s.pass).arg(s.fail);
    case 6: return durationText(static_cast<double>(s.timeOutsideMs));
    case 7: return QStringLiteral("%1 / %2").arg(s.overloads).arg(s.noNumber);
    case 8: return s.count ? durationText(static_cast<double>(s.durationMs)) : QStringLiteral("–");
    default: return {};
    }
}

const char* const kRowNames[] = {"Rows", "Minimum", "Maximum", "Mean", "Std. deviation", "Pass / Fail",
                                 "Time outside limits", "Overload / no number", "Duration"};

}  // namespace

AnalysisWindow::AnalysisWindow(const RecordTable& live, const QString& decimalSep, QWidget* parent)
    : QWidget(parent, Qt::Window), decimalSep_(decimalSep) {
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(title());
    resize(1100, 640);

    traces_.push_back(std::make_unique<LogTrace>(live, decimalSep, QStringLiteral("Live log"), kTraceColours[0]));
    traces_[0]->follow();

    chart_ = new AnalysisChart(this);
    unit_ = new QComboBox(this);
    unit_->setObjectName(QStringLiteral("AnalysisUnit"));
    unit_->setToolTip(QStringLiteral("The unit shown, when the log holds several"));
    align_ = new QComboBox(this);
    align_->setObjectName(QStringLiteral("AnalysisAlign"));
    align_->addItems({QStringLiteral("Clock time"), QStringLiteral("Start")});
    align_->setToolTip(QStringLiteral("How logs beside the live one line up"));
    follow_ = new QToolButton(this);
    follow_->setObjectName(QStringLiteral("AnalysisFollow"));
    follow_->setText(QStringLiteral("Follow"));
    follow_->setCheckable(true);
    follow_->setChecked(true);
    follow_->setToolTip(QStringLiteral("Keep the newest row in view (F)"));
    auto* all = new QPushButton(QStringLiteral("Show All"), this);
    all->setToolTip(QStringLiteral("Everything of every log (Home, or double-click)"));
    auto* open = new QPushButton(QStringLiteral("Open Log…"), this);
    open->setObjectName(QStringLiteral("AnalysisOpenLog"));
    open->setToolTip(QStringLiteral("Draw a saved log beside the live one"));
    auto* save = new QPushButton(QStringLiteral("Save View…"), this);
    save->setObjectName(QStringLiteral("AnalysisSaveView"));
    save->setToolTip(QStringLiteral("Save the chart as PNG, SVG or PDF"));
    for (QWidget* w : std::initializer_list<QWidget*>{unit_, align_, follow_, all, open, save})
        w->setFocusPolicy(Qt::NoFocus);   // keys belong to the chart

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Unit:"), this));
    bar->addWidget(unit_);
    bar->addSpacing(12);
    bar->addWidget(new QLabel(QStringLiteral("Align logs by:"), this));
    bar->addWidget(align_);
    bar->addSpacing(12);
    bar->addWidget(follow_);
    bar->addWidget(all);
    bar->addStretch(1);
    bar->addWidget(open);
    bar->addWidget(save);

    statistics_ = new StatisticsLabel(this);
    statistics_->setObjectName(QStringLiteral("AnalysisStatistics"));
    statistics_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    statistics_->setTextFormat(Qt::RichText);
    statistics_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statistics_->setMargin(6);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(statistics_);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(360);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    statistics_->setWordWrap(true);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(chart_);
    split->addWidget(scroll);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("AnalysisReadout"));
    readout_->setTextFormat(Qt::RichText);
    cursorText_ = new QLabel(this);
    cursorText_->setObjectName(QStringLiteral("AnalysisCursors"));
    cursorText_->setTextFormat(Qt::RichText);
    cursorText_->setWordWrap(true);
    cursorText_->setMinimumHeight(3 * cursorText_->fontMetrics().height());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);
    layout->addWidget(readout_);
    layout->addWidget(cursorText_);

    catchUp_ = new QTimer(this);
    catchUp_->setSingleShot(true);
    connect(catchUp_, &QTimer::timeout, this, &AnalysisWindow::catchUpSlice);
    texts_ = new QTimer(this);
    texts_->setSingleShot(true);
    texts_->setInterval(kTextsMs);
    connect(texts_, &QTimer::timeout, this, &AnalysisWindow::refreshTexts);

    connect(&live, &RecordTable::rowsAppended, this, &AnalysisWindow::liveRowsAppended);
    connect(&live, &RecordTable::cleared, this, [this] {
        chart_->update();
        updateUnits();
        scheduleTexts();
    });
    connect(unit_, &QComboBox::currentIndexChanged, this, [this] {
        chart_->setUnit(static_cast<BaseUnit>(unit_->currentData().toInt()));
        setLimits(high_, low_);
        refreshTexts();
    });
    connect(align_, &QComboBox::currentIndexChanged, this, [this] {
        applyAlignment();
        chart_->showAll();
    });
    connect(follow_, &QToolButton::toggled, chart_, &AnalysisChart::setFollowing);
    connect(chart_, &AnalysisChart::followingChanged, follow_, &QToolButton::setChecked);
    connect(all, &QPushButton::clicked, chart_, &AnalysisChart::showAll);
    connect(open, &QPushButton::clicked, this, &AnalysisWindow::openLogClicked);
    connect(save, &QPushButton::clicked, this, &AnalysisWindow::saveViewClicked);
    connect(chart_, &AnalysisChart::viewChanged, this, &AnalysisWindow::scheduleTexts);
    connect(chart_, &AnalysisChart::cursorsChanged, this, &AnalysisWindow::refreshTexts);
    connect(chart_, &AnalysisChart::crosshairMoved, this, &AnalysisWindow::refreshReadout);

    std::vector<const LogTrace*> shown{traces_[0].get()};
    chart_->setTraces(shown);
    refreshReadout();
    catchUp_->start(0);
    chart_->setFocus();
}

AnalysisWindow::~AnalysisWindow() = default;

void AnalysisWindow::liveRowsAppended() {
    if (!catchUp_->isActive()) catchUp_->start(kLiveRedrawMs);
}

void AnalysisWindow::catchUpSlice() {
    bool done = true;
    const bool wasEmpty = traces_[0]->rowCount() == 0;
    bool started = false;   // a log took in its first rows: it has a start to line up by
    for (auto& trace : traces_) {
        const bool empty = trace->rowCount() == 0;
        done = trace->catchUp(kSliceRows) && done;
        started = started || (empty && trace->rowCount() > 0);
    }
    if (!done) catchUp_->start(0);
    if (started) applyAlignment();
    if (wasEmpty && traces_[0]->rowCount() > 0) {
        chart_->showAll();
    } else {
        chart_->rowsArrived();
    }
    updateUnits();
    if (!texts_->isActive()) texts_->start(done ? kLiveTextsMs : kTextsMs);
}

void AnalysisWindow::catchUpNow() {
    while (true) {
        bool done = true;
        for (auto& trace : traces_) done = trace->catchUp(SIZE_MAX) && done;
        if (done) break;
    }
    catchUp_->stop();
    applyAlignment();
    updateUnits();
    chart_->showAll();
    refreshTexts();
}

void AnalysisWindow::updateUnits() {
    std::vector<BaseUnit> units;
    for (const auto& trace : traces_)
        for (BaseUnit u : trace->units())
            if (std::find(units.begin(), units.end(), u) == units.end()) units.push_back(u);
    std::sort(units.begin(), units.end());
    bool same = unit_->count() == static_cast<int>(units.size());
    for (int i = 0; same && i < unit_->count(); ++i)
        same = unit_->itemData(i).toInt() == static_cast<int>(units[static_cast<std::size_t>(i)]);
    if (same) return;
    const int current = unit_->currentIndex() >= 0 ? unit_->currentData().toInt() : -1;
    {
        const QSignalBlocker quiet(unit_);
        unit_->clear();
        for (BaseUnit u : units) unit_->addItem(unitName(u), static_cast<int>(u));
    }
    int keep = unit_->findData(current);
    if (keep < 0) {
        // The live log's first unit, else the first there is.
        keep = 0;
        const std::vector<BaseUnit> live = traces_[0]->units();
        if (!live.empty()) keep = std::max(0, unit_->findData(static_cast<int>(live.front())));
    }
    unit_->setCurrentIndex(-1);
    unit_->setCurrentIndex(keep);
}

void AnalysisWindow::applyAlignment() {
    const bool byStart = align_->currentIndex() == 1;
    const LogTrace* reference = nullptr;
    for (const auto& trace : traces_)
        if (trace->rowCount() > 0) {
            reference = trace.get();
            break;
        }
    for (auto& trace : traces_) {
        // A log whose rows carry no date of their own (older text and XML
        // files) has no clock time to line up by: it lines up by its start.
        const auto& runs = trace->timeline().placedRuns();
        const bool undated = trace->rowCount() > 0 && runs.size() == 1 && runs[0].first == 0 &&
                             runs[0].last >= trace->rowCount() - 1;
        if (!(byStart || undated) || !reference || trace.get() == reference || trace->rowCount() == 0) {
            trace->setShiftMs(0);
            continue;
        }
        trace->setShiftMs(reference->timeline().first() - trace->timeline().first());
    }
    chart_->update();
}

void AnalysisWindow::scheduleTexts() {
    if (!texts_->isActive() || texts_->remainingTime() > kTextsMs) texts_->start(kTextsMs);
}

std::optional<double> AnalysisWindow::limitFor(const std::optional<Limit>& limit) const {
    if (!limit) return std::nullopt;
    if (!limit->unit.isEmpty() && baseUnitOf(limit->unit.toStdString()) != chart_->unit()) return std::nullopt;
    return limit->value;
}

void AnalysisWindow::setLimits(std::optional<Limit> high, std::optional<Limit> low) {
    high_ = std::move(high);
    low_ = std::move(low);
    chart_->setLimits(limitFor(high_), limitFor(low_));
}

void AnalysisWindow::refreshTexts() {
    texts_->stop();
    const BaseUnit unit = chart_->unit();
    const ViewSpan& view = chart_->view();
    QString html;
    for (const auto& trace : traces_) {
        html += QStringLiteral("<p><span style='color:%1'>&#9632;</span> <b>%2</b><br>")
                    .arg(trace->colour().name(), trace->name().toHtmlEscaped());
        const std::size_t n = static_cast<std::size_t>(trace->rowCount());
        const UnitStatistics whole = trace->statistics().range(0, n, unit);
        const auto [a, b] = rowsBetween(*trace, view.t0, view.t1);
        const UnitStatistics seen = trace->statistics().range(a, b, unit);
        // A big log is taken in over many turns; a live row or two waiting is no news.
        if (trace->table().rowCount() - trace->rowCount() > static_cast<int>(kSliceRows))
            html += QStringLiteral("<i>reading rows: %1 so far</i><br>").arg(n);
        if (whole.count != n)
            html += QStringLiteral("<small>%1 of %2 rows in %3</small><br>").arg(whole.count).arg(n).arg(unitName(unit));
        if (whole.placedTimes)
            html += QStringLiteral("<small>%1 rows without a time of their own, placed by their neighbours</small><br>")
                        .arg(whole.placedTimes);
        if (!trace->timeline().clockBackRows().empty())
            html += QStringLiteral("<small>the clock went back %1 times</small><br>")
                        .arg(trace->timeline().clockBackRows().size());
        // One table under the other: the panel stays narrow beside the chart.
        for (const auto& [heading, figures] : {std::pair<const char*, const UnitStatistics*>{"Whole log", &whole},
                                               std::pair<const char*, const UnitStatistics*>{"In view", &seen}}) {
            html += QStringLiteral("<table cellspacing=0 cellpadding=1><tr><th colspan=2 align=left>%1</th></tr>")
                        .arg(QString::fromLatin1(heading));
            for (int k = 0; k < static_cast<int>(std::size(kRowNames)); ++k)
                html += QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td>%2</td></tr>")
                            .arg(QString::fromUtf8(kRowNames[k]), cells(*figures, unit, k));
            html += QStringLiteral("</table>");
        }
        html += QStringLiteral("</p>");
    }
    statistics_->setText(html);

    // Cursors: the moments, the values of the live log there, and what lies between.
    const auto a = chart_->cursorA(), b = chart_->cursorB();
    if (!a && !b) {
        cursorText_->setText(QStringLiteral("Cursors: click for A, right-click for B (or keys A and B)."));
        return;
    }
    const int offset = traces_[0]->timeline().offsetMinutes();
    QString text;
    const auto valueAt = [&](const LogTrace& trace, double t) -> std::optional<double> {
        const int row = AnalysisChart::nearestRow(trace, t);
        if (row < 0) return std::nullopt;
        const LogPoint p = trace.points().point(static_cast<std::size_t>(row));
        if (!p.hasValue || p.unit != unit) return std::nullopt;
        return p.value;
    };
    if (a) text += QStringLiteral("<b>A</b> %1 &nbsp; ").arg(readoutTime(*a, offset));
    if (b) text += QStringLiteral("<b>B</b> %1 &nbsp; ").arg(readoutTime(*b, offset));
    if (a && b) {
        const double dt = *b - *a;
        text += QStringLiteral("<b>Δt</b> %1").arg(durationText(dt));
        for (const auto& trace : traces_) {
            const auto va = valueAt(*trace, *a), vb = valueAt(*trace, *b);
            text += QStringLiteral("<br><span style='color:%1'>&#9632;</span> %2: ")
                        .arg(trace->colour().name(), trace->name().toHtmlEscaped());
            if (va && vb) {
                text += QStringLiteral("<b>Δ</b> %1").arg(valueText(*vb - *va, unit));
                if (dt != 0)
                    text += QStringLiteral(" &nbsp; <b>slope</b> %1/s").arg(valueText((*vb - *va) / (dt / 1000), unit));
            }
            const auto [first, end] = rowsBetween(*trace, std::min(*a, *b), std::max(*a, *b));
            const UnitStatistics s = trace->statistics().range(first, end, unit);
            text += QStringLiteral(" &nbsp; between: %1 rows").arg(s.count);
            if (s.min && s.max)
                text += QStringLiteral(", min %1, max %2, mean %3").arg(valueText(s.min->value, unit),
                                                                       valueText(s.max->value, unit),
                                                                       valueText(*s.mean, unit));
            if (s.std) text += QStringLiteral(", std %1").arg(valueText(*s.std, unit));
            text += QStringLiteral(", fail %1").arg(s.fail);
        }
    }
    cursorText_->setText(text);
}

void AnalysisWindow::refreshReadout() {
    const auto at = chart_->crosshair();
    if (!at) {
        readout_->setText(QStringLiteral("Point at the chart to read a row."));
        return;
    }
    const double t = chart_->timeAt(at->x());
    QString text;
    for (const auto& trace : traces_) {
        const int row = AnalysisChart::nearestRow(*trace, t);
        if (row < 0) continue;
        const LogPoint p = trace->points().point(static_cast<std::size_t>(row));
        if (!text.isEmpty()) text += QStringLiteral(" &nbsp;&nbsp; ");
        text += QStringLiteral("<span style='color:%1'>&#9632;</span> ").arg(trace->colour().name());
        text += timeText(p.time());
        if (p.timePlaced) text += QStringLiteral(" (placed)");
        text += QStringLiteral(" &nbsp; ");
        if (p.hasValue)
            text += QStringLiteral("<b>%1</b>").arg(valueText(p.value, p.unit));
        else
            text += p.overload ? QStringLiteral("<b>overload</b>") : QStringLiteral("<b>no number</b>");
        const QString no = trace->table().text(row, RecordTable::No);
        text += QStringLiteral(" &nbsp; row %1").arg(row + 1);
        if (!no.isEmpty()) text += QStringLiteral(" (No. %1)").arg(no);
        text += QStringLiteral(" &nbsp; ") + verdictText(p.verdict);
    }
    readout_->setText(text);
}

void AnalysisWindow::addLog(std::unique_ptr<RecordTable> table, const QString& name) {
    const QColor colour = kTraceColours[traces_.size() % std::size(kTraceColours)];
    traces_.push_back(std::make_unique<LogTrace>(std::move(table), decimalSep_, name, colour));
    std::vector<const LogTrace*> shown;
    for (const auto& t : traces_) shown.push_back(t.get());
    chart_->setTraces(shown);
    catchUp_->start(0);
}

void AnalysisWindow::openLog(const QString& fileName) {
    // Read in a thread of its own: a file of millions of rows takes seconds,
    // and the live log goes on meanwhile.
    ++pendingLoads_;
    QPointer<AnalysisWindow> self(this);
    QThread* worker = QThread::create([self, fileName] {
        auto table = std::make_unique<RecordTable>();
        QString reason;
        const bool ok = LoadTableFromFile(fileName, *table, true, &reason);
        table->moveToThread(QCoreApplication::instance()->thread());
        RecordTable* raw = table.release();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, raw, ok, reason, fileName] {
            std::unique_ptr<RecordTable> loaded(raw);
            if (!self) return;
            --self->pendingLoads_;
            if (!ok) {
                if (self->askedByUser_.removeOne(fileName))
                    QMessageBox::critical(self, QStringLiteral("Error"),
                                          QStringLiteral("%1\n%2").arg(loadFailedMessage(), reason));
                emit self->failed(fileName, reason);
                return;
            }
            self->askedByUser_.removeOne(fileName);
            self->addLog(std::move(loaded), QFileInfo(fileName).fileName());
            emit self->loaded(fileName);
        });
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void AnalysisWindow::openLogClicked() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Open Log"), QString(),
        QStringLiteral("Logs (*.xls *.txt *.xml *.csv *.jsonl);;All files (*)"));
    for (const QString& f : files) {
        askedByUser_ << f;
        openLog(f);
    }
}

bool AnalysisWindow::saveView(const QString& fileName, QString* reason) const {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason) *reason = file.errorString();
        return false;
    }
    const QSize size = chart_->size();
    bool drawn = true;
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(title());
        QPainter p(&svg);
        chart_->paintChart(p, QRect(QPoint(0, 0), size));
        drawn = p.end();
    } else if (suffix == QLatin1String("pdf")) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setTitle(title());
        QPainter p(&pdf);
        // The chart as on screen, scaled to the page.
        const QRect page = p.viewport();
        const double scale = std::min(page.width() / double(size.width()), page.height() / double(size.height()));
        p.scale(scale, scale);
        chart_->paintChart(p, QRect(QPoint(0, 0), size));
        drawn = p.end();
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        chart_->paintChart(p, QRect(QPoint(0, 0), size));
        p.end();
        drawn = image.save(&file, "PNG");
    }
    if (!drawn) {
        file.cancelWriting();
        if (reason) *reason = QStringLiteral("the picture could not be drawn");
        return false;
    }
    if (!file.commit()) {
        if (reason) *reason = file.errorString();
        return false;
    }
    return true;
}

void AnalysisWindow::saveViewClicked() {
    QString chosen;
    QString fileName = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save View"), QString(),
        QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"), &chosen);
    if (fileName.isEmpty()) return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += chosen.contains(QLatin1String("svg"))   ? QStringLiteral(".svg")
                    : chosen.contains(QLatin1String("pdf")) ? QStringLiteral(".pdf")
                                                            : QStringLiteral(".png");
    QString reason;
    if (saveView(fileName, &reason))
        QMessageBox::information(this, QStringLiteral("Information"),
                                 QStringLiteral("Graphic has saved on %1").arg(fileName));
    else
        QMessageBox::critical(this, QStringLiteral("Error"),
                              QStringLiteral("The view could not be saved as %1: %2").arg(fileName, reason));
}

}  // namespace meterlink::analysis
