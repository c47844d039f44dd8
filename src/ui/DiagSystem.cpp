#include "ui/DiagSystem.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "link/U_TK7713T.h"
#include "ui/DesktopShell.h"
#include "ui/DiagnosticsSupport.h"
#include "workflow/DiagnostikaLogika.h"
#include "workflow/TextyOken.h"

namespace {
constexpr int kRows = 6;
constexpr int kPeriodMs = 100;
} // namespace

TFormDiagPrehled::TFormDiagPrehled(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormDiagPrehled"));
    ui::installEventPump();
    setFont(ui::windowFont(12));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    StringGrid1 = ui::makeOverviewTable(GroupBox1, "StringGrid1", kRows, 203, 318, &CopyAction);
    auto* group = new QVBoxLayout(GroupBox1);
    group->addWidget(StringGrid1);

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    StatusBar1 = ui::makeStatusLine(this, "StatusBar1");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);

    auto* all = new QVBoxLayout(this);
    all->addWidget(GroupBox1);
    all->addStretch(1);
    all->addLayout(buttons);
    all->addWidget(StatusBar1);
    all->setContentsMargins(8, 8, 8, 2);
    setFixedSize(561, 263);
    ui::useFixedSizeFrame(this);

    Timer1 = ui::makePollingTimer(this, kPeriodMs);
    connect(Timer1, &QTimer::timeout, this, &TFormDiagPrehled::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TFormDiagPrehled::Button1Click);
    Timer1->start();
}

QString TFormDiagPrehled::text(DiagSystem::TextId id) const {
    return ui::tableText(DiagSystem::Text(id, lang_));
}

void TFormDiagPrehled::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormDiagPrehled::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    lang_ = Dat->Lang;
    setWindowTitle(text(DiagSystem::TEXT_CAPTION));
    GroupBox1->setTitle(text(DiagSystem::TEXT_OVERVIEW));
    Button1->setText(text(DiagSystem::TEXT_CANCEL));
    CopyAction->setText(text(DiagSystem::TEXT_COPY));
    ui::setOverviewLabels(
        StringGrid1, [this](int id) { return text(static_cast<DiagSystem::TextId>(id)); },
        DiagSystem::TEXT_FIRMWARE, DiagSystem::TEXT_RUN_TIME);
    StringGrid1->setAccessibleName(GroupBox1->title());
    ui::showStatusLine(StatusBar1, QStringLiteral(" "));
}

void TFormDiagPrehled::showStatus(Dekl::TextId deklTextId) {
    ui::showTickStatus(StatusBar1,
                       QStringLiteral(" ") + ui::tableText(Dekl::Text(deklTextId, lang_)));
}

void TFormDiagPrehled::Timer1Timer() {
    ui::pollingTick(
        Dat, Timer1, kPeriodMs, transfer_, [this] { showStatus(Dekl::TEXT_NOT_INITIALIZED); },
        [this] { readSys(); });
}

void TFormDiagPrehled::readSys() {
    TTK7713T_SysBin sys;
    if (!TK7713T_PrectiSys(Konvertor, sys)) {
        showStatus(Dekl::TEXT_CONNECTION_ERROR);
        return;
    }
    const std::array<InfoRow, 6> rows = InfoRows(sys);
    for (int row = 0; row < kRows; ++row) {
        ui::setOverviewValue(StringGrid1, row,
                             ui::converterText(rows[static_cast<std::size_t>(row)].Value));
    }
    showStatus(Dekl::TEXT_OK);
}

void TFormDiagPrehled::Button1Click() {
    Timer1->stop();
    reject();
}

void TFormDiagPrehled::done(int result) {
    if (ui::deferCloseAbortingTransfer(transfer_, result)) {
        return;
    }
    Timer1->stop();
    QDialog::done(result);
}
