// Modbus RTU master diagnostics window against the in-process simulator, over
// loopback TFTP and a pseudo-terminal: ticks, Clear, failures, closing during
// a tick, the chart as drawn, its exports and their names.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "support/FileBytes.h"
#include "ui/DiagRS485.h"
#include "ui/DiagnosticsTestSupport.h"
#include "ui/UtilisationChart.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

Bytes mmrdImage(std::uint32_t messages, std::uint32_t errors, std::uint32_t negatives,
                std::uint16_t perSecond, std::uint8_t load) {
    Bytes b(16, 0);
    put32(b, 0, messages);
    put32(b, 4, errors);
    put32(b, 8, negatives);
    b[12] = static_cast<std::uint8_t>(perSecond & 0xFF);
    b[13] = static_cast<std::uint8_t>(perSecond >> 8);
    b[14] = load;
    return b;
}

// A history whose ring position p holds base + p.
Bytes mmrgvImage(std::uint32_t index, std::uint8_t base) {
    Bytes b(192, 0);
    put32(b, 0, 180);
    put32(b, 4, 180);
    put32(b, 8, index);
    for (std::size_t p = 0; p < 180; ++p) {
        b[12 + p] = static_cast<std::uint8_t>(base + p);
    }
    return b;
}

using uitest::Link;

class DiagRS485Test : public uitest::DiagnosticsTest {
  protected:
    // Reads of a file that reached the converter.
    std::size_t reads(const char* name, std::uint8_t number) {
        return GetParam() == Link::Lan ? sim.count(std::string("read ") + name)
                                       : sim.count("0x43 file " + std::to_string(number) + " ");
    }
    // Commands written to ctrl.bin. The simulator notes an accepted TFTP
    // write only after it has waited for repeats (2 x 200 ms).
    std::size_t clears() {
        if (GetParam() == Link::Lan) {
            uitest::runEventsFor(500);
            return sim.count("write ctrl.bin");
        }
        return sim.count("0x44 file 3 ");
    }
    // Lets `n` more complete history reads happen.
    bool waitTicks(std::size_t n) {
        const std::size_t target = reads("mmrgv.bin", 7) + n;
        return uitest::waitUntil([&] { return reads("mmrgv.bin", 7) >= target; });
    }

    static QString status(TFormDiagRS485& w) { return w.StatusBar1->text(); }
    static QString value(TFormDiagRS485& w, int row) { return w.StringGrid1->item(row, 1)->text(); }
};

TEST_P(DiagRS485Test, FirstTickDrawsAndOnlyANewIndexRedraws) {
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(5, 10));
    connect();
    TFormDiagRS485 w;
    w.Dat = &data;
    w.show();
    ASSERT_TRUE(uitest::waitUntil([&] { return w.chartDrawings() == 1; }));
    EXPECT_EQ(w.PredchoziIndex, 5u);
    // Oldest first: ring position 5 (value 15) ... position 4 (value 14).
    const UtilisationChart::Samples drawn = w.ChartView1->samples();
    for (std::size_t i = 0; i < 180; ++i) {
        EXPECT_EQ(drawn[i], 10 + (5 + i) % 180) << i;
    }
    EXPECT_EQ(w.ChartView1->accessibleDescription(),
              QStringLiteral("Current utilization 14 %, highest 189 %, 180 samples"));

    // Same index, other samples: not drawn again.
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(5, 50));
    ASSERT_TRUE(waitTicks(2));
    EXPECT_EQ(w.chartDrawings(), 1);
    EXPECT_EQ(w.ChartView1->samples(), drawn);
    EXPECT_EQ(status(w), QStringLiteral(" OK"));

    // A new sample stored: drawn at the next tick.
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(6, 50));
    ASSERT_TRUE(uitest::waitUntil([&] { return w.chartDrawings() == 2; }));
    EXPECT_EQ(w.ChartView1->samples().front(), 56);
    w.reject();
}

TEST_P(DiagRS485Test, EdgeValuesAreShownAsTheyAre) {
    sim.model().setImage(tksim::SimFile::Mmrd, mmrdImage(4294967295u, 0, 1000000, 65535, 255));
    // Index above the ring and samples above 100 (cut off only by the axis).
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(200, 100));
    connect();
    TFormDiagRS485 w;
    w.Dat = &data;
    w.show();
    ASSERT_TRUE(uitest::waitUntil([&] { return w.chartDrawings() == 1; }));
    const char* const expected[] = {"4294967295", "0", "1000000", "65535", "255"};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(value(w, row), QString::fromLatin1(expected[row])) << row;
    }
    EXPECT_EQ(w.PredchoziIndex, 200u);
    EXPECT_EQ(w.ChartView1->samples()[0], 100 + 200 % 180); // ring position 20 comes first

    // Copy puts the table on the clipboard, tab-separated.
    w.CopyAction->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral(
        "Total number of messages\t4294967295\nTotal number of error messages\t0\n")));
    w.reject();
}

TEST_P(DiagRS485Test, ClearPressedTwiceBeforeATickSendsOneCommand) {
    connect();
    TFormDiagRS485 w;
    w.Dat = &data;
    w.show();
    ASSERT_TRUE(waitTicks(1));
    w.Button1->click();
    w.Button1->click();
    EXPECT_TRUE(w.fVymazat);
    ASSERT_TRUE(waitTicks(3));
    EXPECT_EQ(clears(), 1u);
    EXPECT_FALSE(w.fVymazat);
    w.reject();
}

TEST_P(DiagRS485Test, ClearWhileNotConnectedIsRefusedAndNeverSentLater) {
    TFormDiagRS485 w;
    w.Dat = &data;
    w.show();
    // Within about one 10 ms period the window reports the missing connection.
    ASSERT_TRUE(uitest::waitUntil([&] { return !status(w).trimmed().isEmpty(); }, 1000));
    EXPECT_EQ(status(w), QStringLiteral(" Connection not initialized"));
    EXPECT_EQ(w.Timer1->interval(), 10);
    w.StatusBar1->clear();
    w.Button1->click();
    EXPECT_FALSE(w.fVymazat);
    EXPECT_EQ(status(w), QStringLiteral(" Connection not initialized"));
    EXPECT_EQ(w.StringGrid1->item(0, 1)->text(), QString());

    connect();
    ASSERT_TRUE(waitTicks(3));
    EXPECT_EQ(w.Timer1->interval(), 100);
    EXPECT_EQ(clears(), 0u);
    w.reject();
}

TEST_P(DiagRS485Test, FailedHistoryReadKeepsTheChartAndShowsTheNewCounters) {
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(3, 0));
    connect();
    TFormDiagRS485 w;
    w.Dat = &data;
    w.show();
    ASSERT_TRUE(uitest::waitUntil([&] { return w.chartDrawings() == 1; }));
    const UtilisationChart::Samples drawn = w.ChartView1->samples();

    sim.model().setImage(tksim::SimFile::Mmrd, mmrdImage(777, 1, 2, 3, 4));
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(4, 90));
    tksim::Faults f;
    f.refuseReadsOf = "mmrgv.bin";
    sim.sim().setFaults(f);
    ASSERT_TRUE(uitest::waitUntil(
        [&] { return status(w) == QStringLiteral(" Converter connection error"); }));
    EXPECT_EQ(value(w, 0), QStringLiteral("777"));
    EXPECT_EQ(w.chartDrawings(), 1);
    EXPECT_EQ(w.ChartView1->samples(), drawn);

    // A failed clear is dropped, not repeated.
    sim.sim().setFaults({});
    f = {};
    f.refuseWrites = true;
    sim.sim().setFaults(f);
    w.Button1->click();
    ASSERT_TRUE(waitTicks(2));
    EXPECT_EQ(clears(), 1u);
    w.reject();
}

TEST_P(DiagRS485Test, CancelDuringATickOfASilentConverterClosesAtOnce) {
    connect(30000);
    tksim::Faults silent;
    silent.dropEvery = 1;
    sim.sim().setFaults(silent);
    QElapsedTimer closing;
    uitest::whenModalShown<TFormDiagRS485>(
        [&](TFormDiagRS485* w) { uitest::pressDuringTick(w, w->Button2, closing); });
    TFormDiagRS485 w;
    w.Dat = &data;
    w.exec();
    const qint64 took = closing.elapsed();
    EXPECT_LT(took, 3000); // a hang guard: waiting out the link's timeout takes 30 s
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(status(w), QStringLiteral(" Converter connection error"));
    // No further reads once closed. The simulator may note the aborted
    // request only now, on its own thread: wait for that note first.
    ASSERT_TRUE(uitest::waitUntil([&] { return reads("mmrd.bin", 6) >= 1; }));
    const std::size_t before = reads("mmrd.bin", 6);
    uitest::runEventsFor(300);
    EXPECT_EQ(reads("mmrd.bin", 6), before);
}

INSTANTIATE_TEST_SUITE_P(Links, DiagRS485Test, ::testing::Values(Link::Lan, Link::Serial),
                         uitest::linkName);

// ---------------------------------------------------------------------------
// The chart as drawn, and its exports

class DiagRS485Chart : public ::testing::Test {
  protected:
    void SetUp() override {
        uitest::resetConverter();
        InitData(&data);
        data.Lang = LANG_EN;
        w.Dat = &data;
        w.show();
        // Laid out with the captions set at show, and able to take focus.
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    void TearDown() override {
        w.reject();
        uitest::resetConverter();
    }
    TData data;
    TFormDiagRS485 w;
};

TEST_F(DiagRS485Chart, TitlesLabelsAndAFlatLineUntilTheFirstHistory) {
    UtilisationChart& chart = *w.ChartView1;
    EXPECT_EQ(chart.title(), QStringLiteral("Master interface utilization [%]"));
    EXPECT_EQ(chart.axisTitle(), QStringLiteral("[sec]"));
    EXPECT_EQ(chart.focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(chart.contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_EQ(chart.actions(), (QList<QAction*>{w.SavePngAction, w.SaveCsvAction}));
    EXPECT_EQ(w.SavePngAction->text(), QStringLiteral("Save chart as PNG..."));
    EXPECT_EQ(w.SaveCsvAction->text(), QStringLiteral("Save samples as CSV..."));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&chart);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Chart);
    EXPECT_EQ(a->text(QAccessible::Name), chart.title());
    EXPECT_EQ(a->text(QAccessible::Description), QStringLiteral("No samples yet"));

    // Seconds back from the newest sample: "180" at 0 ... "10" at 170, "0" at 179.
    for (std::size_t k = 0; k < 18; ++k) {
        EXPECT_EQ(UtilisationChart::kXLabels[k].at, 10 * static_cast<int>(k));
        EXPECT_EQ(UtilisationChart::kXLabels[k].secondsBack, 180 - 10 * static_cast<int>(k));
    }
    EXPECT_EQ(UtilisationChart::kXLabels[18].at, 179);
    EXPECT_EQ(UtilisationChart::kXLabels[18].secondsBack, 0);

    EXPECT_EQ(chart.samples(), UtilisationChart::Samples{});
    EXPECT_EQ(w.PredchoziIndex, 999u);
}

// Pixels of the rendered chart at a column between grid lines: white above
// the samples, the fill below, 0..100 % over the plot's height.
TEST_F(DiagRS485Chart, SamplesFillTheirShareOfThePlotAndHigherOnesAreCutOff) {
    UtilisationChart& chart = *w.ChartView1;
    const QRectF plot = chart.plotArea();
    ASSERT_GT(plot.height(), 100);
    const int x = static_cast<int>(plot.left() + plot.width() * 5 / 179);
    const auto pixel = [&](qreal y) { return chart.image().pixelColor(x, static_cast<int>(y)); };
    const QColor white(Qt::white);
    const QColor fill = UtilisationChart::areaColor();

    w.Mmrgv.PoleDat.fill(50);
    w.drawHistory();
    const qreal half = plot.center().y();
    EXPECT_EQ(pixel(half - 4), white);
    EXPECT_EQ(pixel(half + 4), fill);
    EXPECT_EQ(chart.accessibleDescription(),
              QStringLiteral("Current utilization 50 %, highest 50 %, 180 samples"));

    w.Mmrgv.PoleDat.fill(255);
    w.drawHistory();
    EXPECT_EQ(pixel(plot.top() - 4), white);
    EXPECT_EQ(pixel(plot.top() + 4), fill);
    // The grid shows over the fill: the 80 % line holds grey dashes.
    const QImage drawn = chart.image();
    const int gridRow = static_cast<int>(plot.bottom() - plot.height() * 0.8);
    int grey = 0;
    for (int column = static_cast<int>(plot.left()) + 2; column < plot.right() - 2; ++column) {
        grey += drawn.pixelColor(column, gridRow) == QColor(0xC8, 0xC8, 0xC8) ? 1 : 0;
    }
    EXPECT_GT(grey, plot.width() / 4);
}

TEST(DiagRS485ExportName, SaysWhatAndWhen) {
    EXPECT_EQ(chartExportStem(QDateTime(QDate(2026, 12, 10), QTime(8, 15, 59))),
              QStringLiteral("RS485-master-utilisation-2026-12-10_0815"));
    EXPECT_EQ(chartExportStem(QDateTime(QDate(2027, 1, 2), QTime(23, 5))),
              QStringLiteral("RS485-master-utilisation-2027-01-02_2305"));
}

TEST_F(DiagRS485Chart, ExportsRoundTripAndAFailedSaveLeavesNoFile) {
    for (std::size_t i = 0; i < 180; ++i) {
        w.Mmrgv.PoleDat[i] = static_cast<std::uint8_t>(i * 7 % 251);
    }
    QTemporaryDir dir;
    const QString csvPath = dir.filePath(QStringLiteral("samples.csv"));
    ASSERT_TRUE(w.saveSamplesCsv(csvPath));
    const std::string csv = support::readBytes(csvPath.toStdString());
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "seconds_back,percent");
    std::size_t count = 0;
    while (std::getline(lines, line)) {
        const auto comma = line.find(',');
        ASSERT_NE(comma, std::string::npos);
        EXPECT_EQ(std::stoul(line.substr(0, comma)), 179 - count);
        EXPECT_EQ(std::stoul(line.substr(comma + 1)), w.Mmrgv.PoleDat[count]);
        ++count;
    }
    EXPECT_EQ(count, 180u);

    // Through the context menu, with the name the operator chooses; the
    // suggested names tell what and when.
    uitest::RecordingShell shell;
    const QString pngPath = dir.filePath(QStringLiteral("chart.png"));
    QStringList suggested;
    ui::desktopShell().chooseSaveFile = [&](QWidget*, const QString&, const QString& name,
                                            const QString&) {
        suggested << name;
        return name.endsWith(QStringLiteral(".png")) ? pngPath : QString();
    };
    w.SavePngAction->trigger();
    w.SaveCsvAction->trigger();
    const QRegularExpression stem(
        QStringLiteral("^RS485-master-utilisation-\\d{4}-\\d\\d-\\d\\d_\\d{4}\\."));
    ASSERT_EQ(suggested.size(), 2);
    EXPECT_TRUE(stem.match(suggested[0]).hasMatch() &&
                suggested[0].endsWith(QStringLiteral(".png")))
        << suggested[0].toStdString();
    EXPECT_TRUE(stem.match(suggested[1]).hasMatch() &&
                suggested[1].endsWith(QStringLiteral(".csv")))
        << suggested[1].toStdString();
    const QImage image(pngPath);
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), w.ChartView1->size() * w.ChartView1->devicePixelRatio());
    // The file is the chart as drawn, without the frame that shows focus.
    w.ChartView1->setFocus();
    EXPECT_EQ(w.ChartView1->grab().toImage().pixelColor(1, 1),
              w.palette().color(QPalette::Highlight));
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), w.ChartView1->image());

    // Unwritable: a clear message, and neither file nor leftovers.
    const QString bad = dir.filePath(QStringLiteral("missing/chart.csv"));
    EXPECT_FALSE(w.saveSamplesCsv(bad));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].text.startsWith(QStringLiteral("Cannot save the file: ") + bad));
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

} // namespace
