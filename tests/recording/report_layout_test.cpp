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
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using meterlink::RecordTable;
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

}  // namespace
