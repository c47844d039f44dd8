// What the two diagnostics windows share, over both: the overview table never
// scrolls and Tab leaves it, and the polling timer is a precise one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "ui/DiagRS485.h"
#include "ui/DiagSystem.h"
#include "ui/UiTestSupport.h"

namespace {

template <typename W> std::unique_ptr<QDialog> make(PData dat) {
    auto w = std::make_unique<W>();
    w->Dat = dat;
    return w;
}

struct DiagCase {
    const char* name;
    std::unique_ptr<QDialog> (*make)(PData dat);
    // Where Tab goes from the table, round to the table again.
    QStringList tabOrder;
};

void PrintTo(const DiagCase& c, std::ostream* os) {
    *os << c.name;
}

const DiagCase kWindows[] = {
    {"ConverterInformation",
     make<TFormDiagPrehled>,
     {QStringLiteral("Button1"), QStringLiteral("StringGrid1")}},
    {"RtuMasterDiagnostics",
     make<TFormDiagRS485>,
     {QStringLiteral("Button1"), QStringLiteral("ChartView1"), QStringLiteral("Button2"),
      QStringLiteral("StringGrid1")}},
};

class DiagnosticsWindow : public ::testing::TestWithParam<DiagCase> {
  protected:
    void SetUp() override {
        uitest::resetConverter();
        InitData(&data);
        data.Lang = LANG_EN;
        w = GetParam().make(&data);
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        table = w->findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override {
        w.reset();
        uitest::resetConverter();
    }

    // Labels from the left edge, the value column to the right edge.
    void expectUnscrolled(const char* after) const {
        EXPECT_EQ(table->horizontalScrollBar()->value(), 0) << after;
        EXPECT_EQ(table->columnViewportPosition(0), 0) << after;
        EXPECT_EQ(table->rowViewportPosition(0), 0) << after;
        EXPECT_GE(table->columnViewportPosition(1) + table->columnWidth(1),
                  table->viewport()->width())
            << after;
    }

    TData data;
    std::unique_ptr<QDialog> w;
    QTableWidget* table = nullptr;
};

TEST_P(DiagnosticsWindow, TheTableNeverScrolls) {
    expectUnscrolled("show");
    const QPoint value(table->columnViewportPosition(1) + 20, table->rowViewportPosition(4) + 10);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, value);
    EXPECT_EQ(table->currentColumn(), 1);
    // A view scrolls to a clicked cell once no double click can follow.
    uitest::runEventsFor(QApplication::doubleClickInterval() + 200);
    expectUnscrolled("click on a value");
    for (const Qt::Key key : {Qt::Key_End, Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Home}) {
        QTest::keyClick(table, key);
        expectUnscrolled("a key in the table");
    }
}

TEST_P(DiagnosticsWindow, TabMovesFromTheTableToTheNextControl) {
    table->setFocus(Qt::TabFocusReason);
    table->setCurrentCell(0, 1);
    for (const QString& next : GetParam().tabOrder) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), next);
    }
    expectUnscrolled("Tab into the table");
}

// A read may start only once a full period has passed since the last ended.
TEST_P(DiagnosticsWindow, PollsWithAPreciseTimer) {
    auto* timer = w->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
}

INSTANTIATE_TEST_SUITE_P(Windows, DiagnosticsWindow, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<DiagCase>& p) {
                             return std::string(p.param.name);
                         });

} // namespace
