#include "ui/DiagRS485.h"

#include <QAction>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIODevice>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/DesktopShell.h"
#include "ui/DiagnosticsSupport.h"
#include "ui/UtilisationChart.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/TextyOken.h"

namespace {

constexpr int kRows = 5;
constexpr int kWaitPeriodMs = 10;
constexpr int kPollPeriodMs = 100;
static_assert(static_cast<std::size_t>(UtilisationChart::kSamples) == TK7713T_MMRGV_VZORKU);

} // namespace

QString chartExportStem(const QDateTime& when) {
    return QStringLiteral("RS485-master-utilisation-") +
           when.toString(QStringLiteral("yyyy-MM-dd_HHmm"));
}

TFormDiagRS485::TFormDiagRS485(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormDiagRS485"));
    setWindowFlags((windowFlags() | Qt::WindowMinimizeButtonHint) & ~Qt::WindowMaximizeButtonHint);
    ui::installEventPump();
    setFont(ui::windowFont(12));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    StringGrid1 = ui::makeOverviewTable(GroupBox1, "StringGrid1", kRows, 341, 341, &CopyAction);
    auto* overview = new QVBoxLayout(GroupBox1);
    overview->addWidget(StringGrid1);

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    // Drawn only, never operated; focusable for its context menu.
    ChartView1 = new UtilisationChart(GroupBox2);
    ChartView1->setObjectName(QStringLiteral("ChartView1"));
    auto* chartBox = new QVBoxLayout(GroupBox2);
    chartBox->addWidget(ChartView1);
    chartBox->setContentsMargins(4, 4, 4, 4);

    SavePngAction = new QAction(ChartView1);
    SavePngAction->setObjectName(QStringLiteral("SavePngAction"));
    SaveCsvAction = new QAction(ChartView1);
    SaveCsvAction->setObjectName(QStringLiteral("SaveCsvAction"));
    ChartView1->addAction(SavePngAction);
    ChartView1->addAction(SaveCsvAction);
    ChartView1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(SavePngAction, &QAction::triggered, this, [this] {
        ui::saveExport(this, SavePngAction->text(),
                       chartExportStem(QDateTime::currentDateTime()) + QStringLiteral(".png"),
                       QStringLiteral("PNG (*.png)"), text(DiagRS485::TEXT_SAVE_FAILED),
                       [this](QIODevice& file) { return writeChartPng(file); });
    });
    connect(SaveCsvAction, &QAction::triggered, this, [this] {
        ui::saveExport(this, SaveCsvAction->text(),
                       chartExportStem(QDateTime::currentDateTime()) + QStringLiteral(".csv"),
                       QStringLiteral("CSV (*.csv)"), text(DiagRS485::TEXT_SAVE_FAILED),
                       [this](QIODevice& file) { return writeSamplesCsv(file); });
    });

    Button2 = new QPushButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setDefault(true);
    StatusBar1 = ui::makeStatusLine(this, "StatusBar1");

    auto* clearRow = new QHBoxLayout;
    clearRow->addStretch(1);
    clearRow->addWidget(Button1);
    auto* cancelRow = new QHBoxLayout;
    cancelRow->addStretch(1);
    cancelRow->addWidget(Button2);

    auto* all = new QVBoxLayout(this);
    all->addWidget(GroupBox1);
    all->addLayout(clearRow);
    all->addWidget(GroupBox2, 1);
    all->addLayout(cancelRow);
    all->addWidget(StatusBar1);
    all->setContentsMargins(8, 8, 8, 2);
    setFixedSize(721, 524);

    Timer1 = ui::makePollingTimer(this, kWaitPeriodMs);
    connect(Timer1, &QTimer::timeout, this, &TFormDiagRS485::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TFormDiagRS485::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormDiagRS485::Button2Click);
    Timer1->start();
}

QString TFormDiagRS485::text(DiagRS485::TextId id) const {
    return ui::tableText(DiagRS485::Text(id, lang_));
}

void TFormDiagRS485::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormDiagRS485::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    lang_ = Dat->Lang;
    setWindowTitle(text(DiagRS485::TEXT_CAPTION));
    GroupBox1->setTitle(text(DiagRS485::TEXT_OVERVIEW));
    GroupBox2->setTitle(text(DiagRS485::TEXT_CHART));
    ChartView1->setTitle(text(DiagRS485::TEXT_UTILISATION)); // its accessible name too
    ChartView1->setAxisTitle(text(DiagRS485::TEXT_SECONDS));
    ChartView1->setDescriptionTexts(text(DiagRS485::TEXT_CHART_EMPTY),
                                    text(DiagRS485::TEXT_CHART_SUMMARY));
    Button2->setText(text(DiagRS485::TEXT_CANCEL));
    Button1->setText(text(DiagRS485::TEXT_CLEAR));
    CopyAction->setText(text(DiagRS485::TEXT_COPY));
    SavePngAction->setText(text(DiagRS485::TEXT_SAVE_PNG));
    SaveCsvAction->setText(text(DiagRS485::TEXT_SAVE_CSV));
    ui::setOverviewLabels(
        StringGrid1, [this](int id) { return text(static_cast<DiagRS485::TextId>(id)); },
        DiagRS485::TEXT_MESSAGES, DiagRS485::TEXT_UTILISATION);
    StringGrid1->setAccessibleName(GroupBox1->title());
    // The value column runs to the table's right edge.
    StringGrid1->setColumnWidth(1, 5000);
    fVymazat = false;
    PredchoziIndex = 999;
    ui::showStatusLine(StatusBar1, QStringLiteral(" "));
}

void TFormDiagRS485::showStatus(Dekl::TextId deklTextId) {
    ui::showTickStatus(StatusBar1,
                       QStringLiteral(" ") + ui::tableText(Dekl::Text(deklTextId, lang_)));
}

void TFormDiagRS485::Timer1Timer() {
    // 10 ms until a connection exists, then 100 ms.
    ui::pollingTick(
        Dat, Timer1, kPollPeriodMs, transfer_, [this] { showStatus(Dekl::TEXT_NOT_INITIALIZED); },
        [this] { tick(); });
}

void TFormDiagRS485::tick() {
    if (fVymazat) {
        fVymazat = false; // a failed clear is dropped, never repeated
        std::int32_t status = 0;
        if (!TK7713T_VymazStatistiku(Konvertor, status)) {
            showStatus(Dekl::TEXT_CONNECTION_ERROR);
            return;
        }
    }
    TTK7713T_MmrdBin mmrd;
    if (!TK7713T_PrectiMmrd(Konvertor, mmrd)) {
        showStatus(Dekl::TEXT_CONNECTION_ERROR);
        return;
    }
    const std::array<StatRow, 5> rows = StatRows(mmrd);
    for (int row = 0; row < kRows; ++row) {
        ui::setOverviewValue(StringGrid1, row,
                             QString::number(rows[static_cast<std::size_t>(row)].Value));
    }
    if (!TK7713T_PrectiMmrgv(Konvertor, Mmrgv)) {
        showStatus(Dekl::TEXT_CONNECTION_ERROR);
        return;
    }
    // The converter stores one sample a second: redraw only when it did.
    if (Mmrgv.IndexZapisu != PredchoziIndex) {
        PredchoziIndex = Mmrgv.IndexZapisu;
        drawHistory();
    }
    showStatus(Dekl::TEXT_OK);
}

void TFormDiagRS485::drawHistory() {
    ChartView1->setSamples(Mmrgv.PoleDat);
    ++drawings_;
}

void TFormDiagRS485::Button1Click() {
    if (Dat == nullptr) {
        return;
    }
    if (ui::converterConnected(Dat)) {
        fVymazat = true;
    } else {
        showStatus(Dekl::TEXT_NOT_INITIALIZED);
    }
}

void TFormDiagRS485::Button2Click() {
    Timer1->stop();
    reject();
}

bool TFormDiagRS485::writeChartPng(QIODevice& file) {
    return ChartView1->image().save(&file, "PNG");
}

bool TFormDiagRS485::writeSamplesCsv(QIODevice& file) {
    const std::string csv = HistoryCsv(Mmrgv);
    return file.write(csv.data(), static_cast<qint64>(csv.size())) ==
           static_cast<qint64>(csv.size());
}

bool TFormDiagRS485::saveChartPng(const QString& path) {
    return ui::saveWhole(this, path, text(DiagRS485::TEXT_SAVE_FAILED),
                         [this](QIODevice& file) { return writeChartPng(file); });
}

bool TFormDiagRS485::saveSamplesCsv(const QString& path) {
    return ui::saveWhole(this, path, text(DiagRS485::TEXT_SAVE_FAILED),
                         [this](QIODevice& file) { return writeSamplesCsv(file); });
}

void TFormDiagRS485::done(int result) {
    if (ui::deferCloseAbortingTransfer(transfer_, result)) {
        return;
    }
    Timer1->stop();
    QDialog::done(result);
}
