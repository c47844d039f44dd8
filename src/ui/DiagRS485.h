// Modbus RTU master diagnostics window: the master line's counters from
// mmrd.bin and its utilisation over the last 180 seconds from mmrgv.bin,
// polled while the window is open; Clear resets the converter's counters.
#pragma once

#include <QDialog>

#include "app/Dekl.h"
#include "link/U_TK7713T.h"
#include "ui/WindowSupport.h"
#include "workflow/TextyOken.h"

class QAction;
class QDateTime;
class QGroupBox;
class QIODevice;
class QLabel;
class QPushButton;
class QShowEvent;
class QTableWidget;
class QTimer;
class UtilisationChart;

// The name the chart's exports suggest, without extension:
// "RS485-master-utilisation-2026-12-10_0815" for 8:15 on 10 December 2026.
QString chartExportStem(const QDateTime& when);

class TFormDiagRS485 : public QDialog {
    Q_OBJECT

  public:
    explicit TFormDiagRS485(QWidget* parent = nullptr);

    // Set by the opener before showing.
    PData Dat = nullptr;

    // A clear of the statistics is to be sent at the next tick.
    bool fVymazat = false;
    // The last history read; its IndexZapisu and PoleDat are used.
    TTK7713T_MmrgvBin Mmrgv;
    // IndexZapisu of the history last drawn; 999 = nothing drawn yet.
    std::uint32_t PredchoziIndex = 999;

    QGroupBox* GroupBox1 = nullptr;      // "Overview"
    QTableWidget* StringGrid1 = nullptr; // counters, 5 rows
    QAction* CopyAction = nullptr;       // table's context menu
    QPushButton* Button1 = nullptr;      // Clear
    QGroupBox* GroupBox2 = nullptr;      // "Chart"
    UtilisationChart* ChartView1 = nullptr;
    QAction* SavePngAction = nullptr; // chart's context menu
    QAction* SaveCsvAction = nullptr;
    QPushButton* Button2 = nullptr; // Cancel
    QLabel* StatusBar1 = nullptr;   // status panel
    QTimer* Timer1 = nullptr;       // 10 ms until connected, then 100 ms

    void FormShow();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();

    // Exports of the chart; false (with a message to the operator) when the
    // file could not be written whole.
    bool saveChartPng(const QString& path);
    bool saveSamplesCsv(const QString& path);

    // Shows Mmrgv's samples in the chart, oldest first.
    void drawHistory();

    // True while a tick's transfers run.
    bool tickRunning() const { return transfer_.running(); }
    // How many times the chart's points were replaced.
    int chartDrawings() const { return drawings_; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void tick();
    bool writeChartPng(QIODevice& file);
    bool writeSamplesCsv(QIODevice& file);
    void showStatus(Dekl::TextId deklTextId);
    QString text(DiagRS485::TextId id) const;

    std::int32_t lang_ = LANG_EN;
    int drawings_ = 0;
    ui::TransferGuard transfer_{this};
};
