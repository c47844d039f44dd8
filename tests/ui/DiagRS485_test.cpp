// Modbus RTU master diagnostics window against the in-process simulator, over
// loopback TFTP and a pseudo-terminal: ticks, Clear, failures, closing during
// a tick, the chart's objects and the exports.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>
#include <sstream>
#include <QDir>
#include <QFile>

#include "support/FileBytes.h"
#include "ui/DiagRS485.h"
#include "ui/DiagnosticsTestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

Bytes mmrdImage(std::uint32_t messages, std::uint32_t errors, std::uint32_t negatives, std::uint16_t perSecond,
                std::uint8_t load) {
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
    const QList<QPointF> drawn = w.Series1Line->points();
    ASSERT_EQ(drawn.size(), 180);
    for (int i = 0; i < 180; ++i) {
        EXPECT_EQ(drawn[i], QPointF(i, 10 + (5 + i) % 180)) << i;
    }

    // Same index, other samples: not drawn again.
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(5, 50));
    ASSERT_TRUE(waitTicks(2));
    EXPECT_EQ(w.chartDrawings(), 1);
    EXPECT_EQ(w.Series1Line->points(), drawn);
    EXPECT_EQ(status(w), QStringLiteral(" OK"));

    // A new sample stored: drawn at the next tick.
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(6, 50));
    ASSERT_TRUE(uitest::waitUntil([&] { return w.chartDrawings() == 2; }));
    EXPECT_EQ(w.Series1Line->points().front(), QPointF(0, 56));
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
    EXPECT_EQ(w.Series1Line->points()[0].y(), 100 + 200 % 180);  // ring position 20 comes first
    EXPECT_EQ(w.AxisY->max(), 100);

    // Copy puts the table on the clipboard, tab-separated.
    w.CopyAction->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(
        QStringLiteral("Total number of messages\t4294967295\nTotal number of error messages\t0\n")));
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
    const QList<QPointF> drawn = w.Series1Line->points();

    sim.model().setImage(tksim::SimFile::Mmrd, mmrdImage(777, 1, 2, 3, 4));
    sim.model().setImage(tksim::SimFile::Mmrgv, mmrgvImage(4, 90));
    tksim::Faults f;
    f.refuseReadsOf = "mmrgv.bin";
    sim.sim().setFaults(f);
    ASSERT_TRUE(uitest::waitUntil([&] { return status(w) == QStringLiteral(" Converter connection error"); }));
    EXPECT_EQ(value(w, 0), QStringLiteral("777"));
    EXPECT_EQ(w.chartDrawings(), 1);
    EXPECT_EQ(w.Series1Line->points(), drawn);

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
    // No further reads once closed. The request cut off by Cancel may reach
    // the simulator's log after the close; count from after it settled.
    uitest::runEventsFor(300);
    const std::size_t before = reads("mmrd.bin", 6);
    uitest::runEventsFor(300);
    EXPECT_EQ(reads("mmrd.bin", 6), before);
}

INSTANTIATE_TEST_SUITE_P(Links, DiagRS485Test, ::testing::Values(Link::Lan, Link::Serial), uitest::linkName);

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
    }
    void TearDown() override {
        w.reject();
        uitest::resetConverter();
    }
    TData data;
    TFormDiagRS485 w;
};

TEST_F(DiagRS485Chart, AxesColoursAndLabelsAreFixed) {
    EXPECT_EQ(w.Chart1->series().size(), 1);
    EXPECT_EQ(w.Series1->color(), QColor(236, 245, 251));
    EXPECT_EQ(w.Series1->borderColor(), QColor(0, 128, 255));
    EXPECT_FALSE(w.Series1->pointsVisible());
    EXPECT_FALSE(w.Chart1->legend()->isVisible());
    EXPECT_EQ(w.Chart1->backgroundBrush().color(), QColor(Qt::white));
    EXPECT_EQ(w.Chart1->title(), QStringLiteral("Master interface utilization [%]"));
    EXPECT_EQ(w.AxisX->titleText(), QStringLiteral("[sec]"));
    EXPECT_EQ(w.ChartView1->rubberBand(), QChartView::NoRubberBand);
    EXPECT_FALSE(w.ChartView1->isInteractive());

    EXPECT_EQ(w.AxisY->min(), 0);
    EXPECT_EQ(w.AxisY->max(), 100);
    EXPECT_EQ(w.AxisY->tickCount(), 6);  // every 20
    EXPECT_EQ(w.AxisY->minorTickCount(), 0);
    EXPECT_EQ(w.AxisY->gridLinePen().style(), Qt::DashLine);
    EXPECT_TRUE(w.AxisY->titleText().isEmpty());

    EXPECT_EQ(w.AxisX->min(), 0);
    EXPECT_EQ(w.AxisX->max(), 179);
    EXPECT_FALSE(w.AxisX->isLineVisible());
    EXPECT_EQ(w.AxisX->gridLinePen().style(), Qt::DashLine);
    EXPECT_EQ(w.AxisX->labelsPosition(), QCategoryAxis::AxisLabelsPositionOnValue);
    const QStringList labels = w.AxisX->categoriesLabels();
    ASSERT_EQ(labels.size(), 19);
    for (int k = 0; k < 18; ++k) {
        EXPECT_EQ(labels[k], QString::number(180 - 10 * k));
        EXPECT_EQ(w.AxisX->endValue(labels[k]), 10 * k);
    }
    EXPECT_EQ(labels[18], QStringLiteral("0"));
    EXPECT_EQ(w.AxisX->endValue(labels[18]), 179);

    // A flat line at 0 until the first history.
    const QList<QPointF> flat = w.Series1Line->points();
    ASSERT_EQ(flat.size(), 180);
    for (int i = 0; i < 180; ++i) {
        EXPECT_EQ(flat[i], QPointF(i, 0));
    }
    EXPECT_EQ(w.PredchoziIndex, 999u);

    // Samples above 100 are cut off by the plot area: nothing drawn above it.
    w.Mmrgv.PoleDat.fill(255);
    w.drawHistory();
    QCoreApplication::processEvents();
    const QImage drawn = w.ChartView1->grab().toImage();
    const QRectF plot = w.Chart1->plotArea();
    const QPoint above(static_cast<int>(plot.center().x()), static_cast<int>(plot.top()) - 4);
    EXPECT_EQ(drawn.pixelColor(above), QColor(Qt::white));
    EXPECT_EQ(drawn.pixelColor(above + QPoint(0, 12)), QColor(236, 245, 251));
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

    // Through the context menu, with the name the operator chooses.
    uitest::RecordingShell shell;
    const QString pngPath = dir.filePath(QStringLiteral("chart.png"));
    ui::desktopShell().chooseSaveFile = [&](QWidget*, const QString&, const QString&, const QString&) {
        return pngPath;
    };
    w.SavePngAction->trigger();
    const QImage image(pngPath);
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), w.ChartView1->size());

    // Unwritable: a clear message, and neither file nor leftovers.
    const QString bad = dir.filePath(QStringLiteral("missing/chart.csv"));
    EXPECT_FALSE(w.saveSamplesCsv(bad));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].text.startsWith(QStringLiteral("Cannot save the file: ") + bad));
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

}  // namespace
