// The printed report: how many rows make a page, and what each page carries
// where, caught by a paint device that records the texts drawn on it.

#include "recording/report_layout.h"
#include "table_rows.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

using meterlink::FullTime;
using meterlink::RecordTable;
using meterlink::ReportDetails;
using meterlink::ReportLayout;
using meterlink::test::tableRow;

namespace {

constexpr double kPrintableHeight = 297.0 - 20.0;   // A4 less the margins

// A page that keeps the texts painted on it, positions in millimetres.
class TextRecorder : public QPaintDevice {
public:
    struct Text {
        double x, y;   // baseline start
        QString text;
    };
    static constexpr int kDpi = 300;

    QPaintEngine* paintEngine() const override { return &engine_; }
    const std::vector<Text>& texts() const { return engine_.texts; }
    QStringList strings() const {
        QStringList all;
        for (const Text& t : texts()) all << t.text;
        return all;
    }
    const Text* find(const QString& text) const {
        for (const Text& t : texts())
            if (t.text == text) return &t;
        return nullptr;
    }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth: return 190 * kDpi * 10 / 254;
        case PdmHeight: return 277 * kDpi * 10 / 254;
        case PdmWidthMM: return 190;
        case PdmHeightMM: return 277;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return kDpi;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF& at, const QTextItem& item) override {
            texts.push_back({at.x() * 25.4 / kDpi, at.y() * 25.4 / kDpi, item.text()});
        }
        Type type() const override { return User; }
        std::vector<Text> texts;
    };
    mutable Engine engine_;
};

void fillLog(RecordTable& table, int rows) {
    for (int i = 1; i <= rows; ++i) {
        const QByteArray value = "v" + QByteArray::number(i);
        table.append(tableRow(i, "14:03:22", i == 2 ? "" : "DC", value.constData(), i == 1 ? "k*" : "V", "pass"));
    }
}

TEST(ReportLayout, AnA4PageHoldsThirtySevenRows) {
    EXPECT_EQ(ReportLayout::rowsPerPage(kPrintableHeight), 37);
    const QSizeF size = ReportLayout::pageLayout().pageSize().size(QPageSize::Millimeter);
    EXPECT_NEAR(size.width(), 210.0, 0.1);
    EXPECT_NEAR(ReportLayout::pageLayout().paintRect(QPageLayout::Millimeter).height(), kPrintableHeight, 0.1);
    const std::pair<int, int> rowsToPages[] = {{0, 0}, {3, 1}, {37, 1}, {38, 2}, {75, 3}};
    for (const auto& [rows, pages] : rowsToPages) {
        RecordTable table;
        fillLog(table, rows);
        EXPECT_EQ(ReportLayout(table).pageCount(kPrintableHeight), pages) << rows << " rows";
    }
}

TEST(ReportLayout, EveryPageCarriesTitleHeadingsAndFooterInTheirPlaces) {
    RecordTable table;
    fillLog(table, 40);
    const ReportLayout layout(table);
    TextRecorder pages[2];
    for (int p = 0; p < 2; ++p) {
        QPainter painter(&pages[p]);
        layout.paintPage(painter, p, kPrintableHeight);
    }
    const std::pair<const char*, double> fixedTexts[] = {
        {"No", 8.47},     {"Time", 33.87},   {"DC|AC", 64.29}, {"Value", 99.48},
        {"Unit", 132.29}, {"AUTO", 162.98}, {"The Data Print Foot", 8.47}};
    for (const TextRecorder& page : pages) {
        for (const auto& [text, x] : fixedTexts) {
            const TextRecorder::Text* t = page.find(QLatin1String(text));
            ASSERT_NE(t, nullptr) << text;
            EXPECT_NEAR(t->x, x, 0.1) << text;
        }
        const TextRecorder::Text* title = page.find(QStringLiteral("Data Report"));
        ASSERT_NE(title, nullptr);
        EXPECT_NEAR(title->x, 190.0 / 2, 20.0);   // centred
        EXPECT_LT(title->y, 10.58);
        EXPECT_GT(page.find(QStringLiteral("The Data Print Foot"))->y, kPrintableHeight - 10.58 + 4.23);
    }
    // Rows 1 to 37, then 38 to 40; units as the LCD shows them; an empty field prints nothing.
    EXPECT_TRUE(pages[0].strings().contains(QStringLiteral("v37")));
    EXPECT_FALSE(pages[0].strings().contains(QStringLiteral("v38")));
    EXPECT_EQ(pages[1].strings().filter(QRegularExpression(QStringLiteral("^v\\d+$"))),
              (QStringList{"v38", "v39", "v40"}));
    // (A sign the face lacks comes as a text item of its own, in a face that has it.)
    EXPECT_TRUE(pages[0].strings().join(QString()).contains(QStringLiteral("v1k\u03A9pass")));
    EXPECT_EQ(pages[0].strings().count(QStringLiteral("DC")), 36);
    EXPECT_FALSE(pages[0].strings().contains(QStringLiteral("NULL")));

    // The page of a two-page log as it prints, to look at.
    QImage image(827, 1169, QImage::Format_RGB32);   // A4 at 100 dpi
    image.setDotsPerMeterX(3937);
    image.setDotsPerMeterY(3937);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(39.37, 39.37);   // the 10 mm margins
    layout.paintPage(painter, 0, kPrintableHeight);
    painter.end();
    QDir().mkpath(QStringLiteral(METERLINK_ARTIFACTS));
    image.save(QStringLiteral(METERLINK_ARTIFACTS "/report-page1.png"));
}

TEST(ReportLayout, PrintsEveryPageToPdfAndNothingForAnEmptyLog) {
    auto pdfPages = [](const RecordTable& table, QByteArray& pdf) {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(ReportLayout::pageLayout());
        EXPECT_TRUE(ReportLayout(table).print(writer));
        return pdf.count("/Type /Page\n");
    };
    RecordTable table;
    QByteArray pdf;
    EXPECT_EQ(pdfPages(table, pdf), 0);
    EXPECT_TRUE(pdf.isEmpty());
    fillLog(table, 40);
    EXPECT_EQ(pdfPages(table, pdf), 2);
    EXPECT_TRUE(pdf.startsWith("%PDF"));
}

// A log with its moments, as the window logs it: a 5 V rail read once a
// second, each row judged by 4.5 V and 5.5 V.
void fillTimedLog(RecordTable& table, const std::vector<const char*>& values) {
    const std::int64_t start = 1'765'378'135'000;   // 2025-12-10 14:48:55 UTC
    int no = 0;
    for (const char* value : values) {
        RecordTable::Row r = tableRow(++no, "15:48:55", "DC", value, "V", "");
        const double v = QByteArray(value).toDouble();
        r.text[RecordTable::Auto] = QByteArray(value) == "OL" || v > 5.5 || v < 4.5 ? "Fail" : "pass";
        r.fullTime = FullTime{start + 1000 * (no - 1), 60};
        table.append(r);
    }
}

ReportDetails details() {
    ReportDetails d;
    d.title = QStringLiteral("Rail check");
    d.meter = QStringLiteral("KR20C");
    d.port = QStringLiteral("/dev/ttyUSB0");
    d.operatorName = QStringLiteral("Night shift");
    d.comment = QStringLiteral("Board 7 under load");
    d.highLimit = QStringLiteral("5.5 V");
    d.lowLimit = QStringLiteral("4.5 V");
    d.printed = QDateTime(QDate(2026, 12, 11), QTime(9, 30));
    return d;
}

// The PDF's text, as pdftotext reads it; one string per page.
QStringList pdfPagesText(const RecordTable& table, const ReportDetails& d, const QString& pdfPath) {
    {
        QPdfWriter writer(pdfPath);
        writer.setPageLayout(ReportLayout::pageLayout());
        EXPECT_TRUE(ReportLayout(table, d).print(writer));
    }
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdfPath, QStringLiteral("-")});
    EXPECT_TRUE(pdftotext.waitForFinished(60000));
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
    // Runs of blanks from the layout become one.
    for (QString& page : pages) page = page.simplified();
    return pages;
}

struct FirstPageCase {
    const char* name;
    std::vector<const char*> values;
    std::vector<const char*> says;
};

class ReportFirstPage : public ::testing::TestWithParam<FirstPageCase> {};

TEST_P(ReportFirstPage, holds_the_statistics_the_verdict_and_page_numbers) {
    RecordTable table;
    fillTimedLog(table, GetParam().values);
    QTemporaryDir dir;
    const QStringList pages = pdfPagesText(table, details(), dir.filePath(QStringLiteral("report.pdf")));
    const int tablePages = (static_cast<int>(GetParam().values.size()) + 36) / 37;
    ASSERT_EQ(pages.size(), 1 + tablePages);
    const QString& first = pages.front();
    for (const char* text : {"Rail check", "Meter KR20C", "Port /dev/ttyUSB0", "Operator Night shift",
                             "Comment Board 7 under load", "Start 2025-12-10 15:48:55 +01:00",
                             "Limits high 5.5 V, low 4.5 V", "Readings against time (V)"})
        EXPECT_TRUE(first.contains(QLatin1String(text))) << text << "\n" << first.toStdString();
    // Short texts side by side may come out of the PDF without the blank between them.
    QString packed = first;
    packed.remove(QLatin1Char(' '));
    for (const char* text : GetParam().says)
        EXPECT_TRUE(packed.contains(QString::fromUtf8(text).remove(QLatin1Char(' ')))) << text << "\n"
                                                                                       << first.toStdString();
    const QString of = QStringLiteral(" of %1").arg(pages.size());
    for (int p = 0; p < pages.size(); ++p) {
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Page %1").arg(p + 1) + of)) << p;
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Printed "))) << p;
    }
    // The table pages keep their title, headings and rows.
    EXPECT_TRUE(pages[1].contains(QLatin1String("Data Report No Time DC|AC Value Unit AUTO 1 15:48:55 DC")));
}

const FirstPageCase kFirstPages[] = {
    {"all_pass", {"5.00", "5.10", "4.90", "5.20"},
     {"Rows: 4 Pass: 4 Fail: 0 Passed: 100.0 %", "Time outside the limits: 0:00:00", "Overall: PASS",
      "V 4 0 4.9 V 5.2 V 5.05 V 129.1 mV 0", "row 3, 15:48:57", "row 4, 15:48:58", "Duration 0:00:03"}},
    {"one_spike_fails_the_run", {"5.00", "5.90", "5.00", "OL", "5.00", "4.00", "5.00", "5.00"},
     {"Rows: 8 Pass: 5 Fail: 3 Passed: 62.5 %", "Time outside the limits: 0:00:03", "Overall: FAIL",
      "V 8 1 4 V 5.9 V 4.9857 V"}},
    {"two_table_pages", std::vector<const char*>(60, "5.000"), {"Overall: PASS", "V 60 0 5 V 5 V 5 V 0 V 0"}},
};

INSTANTIATE_TEST_SUITE_P(Logs, ReportFirstPage, ::testing::ValuesIn(kFirstPages),
                         [](const ::testing::TestParamInfo<FirstPageCase>& i) { return std::string(i.param.name); });

TEST(ReportLayout, PlainIsTodaysReportAndTablePagesOnlyGainTheFooterTexts) {
    RecordTable table;
    fillTimedLog(table, std::vector<const char*>(40, "5.000"));
    ReportDetails plain = details();
    plain.plain = true;
    const ReportLayout today(table), asked(table, plain), full(table, details());
    ASSERT_EQ(asked.pageCount(kPrintableHeight), today.pageCount(kPrintableHeight));
    ASSERT_EQ(full.pageCount(kPrintableHeight), today.pageCount(kPrintableHeight) + 1);
    for (int p = 0; p < today.pageCount(kPrintableHeight); ++p) {
        TextRecorder a, b, c;
        {
            QPainter pa(&a), pb(&b), pc(&c);
            today.paintPage(pa, p, kPrintableHeight);
            asked.paintPage(pb, p, kPrintableHeight);
            full.paintPage(pc, p + 1, kPrintableHeight);
        }
        EXPECT_EQ(b.strings(), a.strings()) << "page " << p + 1;
        QStringList gained = c.strings();
        for (const QString& s : a.strings()) gained.removeOne(s);
        EXPECT_EQ(gained.size(), 2) << gained.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(gained.join(QLatin1Char('|')).contains(QStringLiteral("Page %1 of 3").arg(p + 2)));
        EXPECT_TRUE(gained.join(QLatin1Char('|')).startsWith(QLatin1String("Printed ")));
    }
}

TEST(ReportLayout, FirstPageAsItPrints) {
    RecordTable table;
    std::vector<std::string> texts;
    for (int i = 0; i < 600; ++i)
        texts.push_back(QByteArray::number(5.0 + 0.2 * std::sin(i / 40.0) + (i == 333 ? 0.7 : 0.0), 'f', 3).toStdString());
    std::vector<const char*> values;
    for (const std::string& t : texts) values.push_back(t.c_str());
    fillTimedLog(table, values);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    pdfPagesText(table, details(), pdf);
    QDir().mkpath(QStringLiteral(METERLINK_ARTIFACTS));
    QProcess pdftoppm;
    pdftoppm.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"),
                                                QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                QStringLiteral("1"), QStringLiteral("-singlefile"), pdf,
                                                QStringLiteral(METERLINK_ARTIFACTS "/report-first-page")});
    ASSERT_TRUE(pdftoppm.waitForFinished(60000));
    EXPECT_EQ(pdftoppm.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(QStringLiteral(METERLINK_ARTIFACTS "/report-first-page.png")));
}

}  // namespace
