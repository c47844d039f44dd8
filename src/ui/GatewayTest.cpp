#include "ui/GatewayTest.h"

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "link/M_TFTP.h"
#include "link/TrafficTrace.h"
#include "link/U_TK7713T.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "ui/DesktopShell.h"
#include "ui/DiagnosticsSupport.h"
#include "workflow/GatewayTestLogic.h"

using namespace GatewayTest;

namespace {

QLineEdit* readOnlyField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    return field;
}

std::string codeText(std::uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

QString hexText(const std::vector<std::uint8_t>& bytes) {
    return QString::fromStdString(linktrace::hexText(bytes.data(), bytes.size()));
}

} // namespace

TFormGatewayTest::TFormGatewayTest(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormGatewayTest"));
    ui::installEventPump();
    setFont(ui::windowFont(12));

    RequestGroup = new QGroupBox(this);
    RequestGroup->setObjectName(QStringLiteral("RequestGroup"));
    auto* form = new QFormLayout(RequestGroup);
    const auto addField = [&](QWidget* field, const char* labelName) {
        auto* label = new QLabel(RequestGroup);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setWordWrap(true);
        ui::labelFor(label, field);
        form->addRow(label, field);
    };
    const auto lineEdit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    UnitEdit = lineEdit("UnitEdit");
    FunctionList = new QComboBox(this);
    FunctionList->setObjectName(QStringLiteral("FunctionList"));
    AddressEdit = lineEdit("AddressEdit");
    CountEdit = lineEdit("CountEdit");
    ValuesEdit = lineEdit("ValuesEdit");
    PortEdit = lineEdit("PortEdit");
    IntervalEdit = lineEdit("IntervalEdit");
    addField(UnitEdit, "UnitLabel");
    addField(FunctionList, "FunctionLabel");
    addField(AddressEdit, "AddressLabel");
    addField(CountEdit, "CountLabel");
    addField(ValuesEdit, "ValuesLabel");
    addField(PortEdit, "PortLabel");
    addField(IntervalEdit, "IntervalLabel");
    ZeroBasedNote = new QLabel(RequestGroup);
    ZeroBasedNote->setObjectName(QStringLiteral("ZeroBasedNote"));
    QFont italic = ZeroBasedNote->font();
    italic.setItalic(true);
    ZeroBasedNote->setFont(italic);
    form->addRow(ZeroBasedNote);

    SendButton = new QPushButton(this);
    SendButton->setObjectName(QStringLiteral("SendButton"));
    SendButton->setDefault(true);
    RepeatButton = new QPushButton(this);
    RepeatButton->setObjectName(QStringLiteral("RepeatButton"));
    CancelButton = new QPushButton(this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    AnswerGroup = new QGroupBox(this);
    AnswerGroup->setObjectName(QStringLiteral("AnswerGroup"));
    ResultTable = new QTableWidget(0, 3, AnswerGroup);
    ResultTable->setObjectName(QStringLiteral("ResultTable"));
    ResultTable->verticalHeader()->hide();
    ResultTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultTable->setTabKeyNavigation(false);
    ResultTable->horizontalHeader()->setStretchLastSection(true);
    ResultTable->verticalHeader()->setDefaultSectionSize(21);
    auto* copy = new QAction(ResultTable);
    copy->setObjectName(QStringLiteral("CopyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] {
        QString all;
        for (int row = 0; row < ResultTable->rowCount(); ++row) {
            for (int column = 0; column < 3; ++column) {
                const QTableWidgetItem* item = ResultTable->item(row, column);
                all += (column > 0 ? QStringLiteral("\t") : QString()) +
                       (item != nullptr ? item->text() : QString());
            }
            all += QLatin1Char('\n');
        }
        QApplication::clipboard()->setText(all);
    });
    ResultTable->addAction(copy);
    ResultTable->setContextMenuPolicy(Qt::ActionsContextMenu);
    RoundTripValue = readOnlyField(AnswerGroup, "RoundTripValue");
    RequestHex = readOnlyField(AnswerGroup, "RequestHex");
    AnswerHex = readOnlyField(AnswerGroup, "AnswerHex");
    Explanation = new QLabel(AnswerGroup);
    Explanation->setObjectName(QStringLiteral("Explanation"));
    Explanation->setWordWrap(true);
    Explanation->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    Explanation->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for an exception's hint and the gateway's causes, so the table
    // keeps its size whatever the explanation holds.
    Explanation->setFixedHeight(150);
    auto* answer = new QVBoxLayout(AnswerGroup);
    answer->addWidget(ResultTable, 1);
    auto* details = new QFormLayout;
    const auto addDetail = [&](QWidget* field, const char* labelName) {
        auto* label = new QLabel(AnswerGroup);
        label->setObjectName(QString::fromLatin1(labelName));
        ui::labelFor(label, field);
        details->addRow(label, field);
    };
    addDetail(RoundTripValue, "RoundTripLabel");
    addDetail(RequestHex, "RequestLabel");
    addDetail(AnswerHex, "AnswerLabel");
    addDetail(Explanation, "ExplanationLabel");
    answer->addLayout(details);

    StatusBar1 = ui::makeStatusLine(this, "StatusBar1");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SendButton);
    buttons->addWidget(RepeatButton);
    buttons->addStretch(1);
    buttons->addWidget(CancelButton);
    auto* left = new QVBoxLayout;
    left->addWidget(RequestGroup);
    left->addStretch(1);
    left->addLayout(buttons);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addWidget(AnswerGroup, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(columns);
    all->addWidget(StatusBar1);
    all->setContentsMargins(8, 8, 8, 2);
    RequestGroup->setFixedWidth(360);
    setFixedSize(900, 580);

    // Tab goes down the request's fields, along the buttons, then to the answer.
    const std::vector<QWidget*> order{UnitEdit,     FunctionList, AddressEdit,  CountEdit,
                                      ValuesEdit,   PortEdit,     IntervalEdit, SendButton,
                                      RepeatButton, CancelButton, ResultTable,  RoundTripValue,
                                      RequestHex,   AnswerHex};
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    RepeatTimer = new QTimer(this);
    RepeatTimer->setObjectName(QStringLiteral("RepeatTimer"));
    RepeatTimer->setSingleShot(true);
    RepeatTimer->setTimerType(Qt::PreciseTimer);
    connect(RepeatTimer, &QTimer::timeout, this, &TFormGatewayTest::RepeatTimerTimer);
    connect(SendButton, &QPushButton::clicked, this, &TFormGatewayTest::SendClick);
    connect(RepeatButton, &QPushButton::clicked, this, &TFormGatewayTest::RepeatClick);
    connect(CancelButton, &QPushButton::clicked, this, &TFormGatewayTest::CancelClick);
    // The client waits in slices; the window stays alive and Cancel stops it.
    client_.setWaitHook([this] {
        platform::pumpEvents();
        return !abort_;
    });
}

QString TFormGatewayTest::text(GatewayTest::TextId id) const {
    return ui::tableText(GatewayTest::Text(id, lang_));
}

void TFormGatewayTest::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormGatewayTest::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    lang_ = Dat->Lang;
    setWindowTitle(text(TEXT_CAPTION));
    RequestGroup->setTitle(text(TEXT_REQUEST));
    AnswerGroup->setTitle(text(TEXT_ANSWER));
    const std::pair<const char*, TextId> labels[] = {{"UnitLabel", TEXT_UNIT},
                                                     {"FunctionLabel", TEXT_FUNCTION},
                                                     {"AddressLabel", TEXT_ADDRESS},
                                                     {"CountLabel", TEXT_COUNT},
                                                     {"ValuesLabel", TEXT_VALUES},
                                                     {"PortLabel", TEXT_PORT},
                                                     {"IntervalLabel", TEXT_INTERVAL},
                                                     {"RoundTripLabel", TEXT_ROUND_TRIP},
                                                     {"RequestLabel", TEXT_LAST_REQUEST},
                                                     {"AnswerLabel", TEXT_LAST_ANSWER},
                                                     {"ExplanationLabel", TEXT_EXPLANATION}};
    for (const auto& [name, id] : labels) {
        findChild<QLabel*>(QString::fromLatin1(name))->setText(text(id));
    }
    ZeroBasedNote->setText(text(TEXT_ZERO_BASED));
    FunctionList->clear();
    for (std::int32_t i = 0; i < GATEWAY_FUNCTION_COUNT; ++i) {
        FunctionList->addItem(text(static_cast<TextId>(TEXT_FUNCTION_FIRST + i)));
    }
    FunctionList->setCurrentIndex(GatewayFunctionPosition(ModbusFunction::ReadHoldingRegisters));
    UnitEdit->setText(QStringLiteral("1"));
    AddressEdit->setText(QStringLiteral("0"));
    CountEdit->setText(QStringLiteral("10"));
    ValuesEdit->clear();
    PortEdit->setText(QString::number(MBTCP_PORT));
    IntervalEdit->setText(QStringLiteral("100"));
    SendButton->setText(text(TEXT_SEND));
    RepeatButton->setText(text(TEXT_REPEAT));
    CancelButton->setText(text(TEXT_CANCEL));
    ResultTable->setHorizontalHeaderLabels(
        {text(TEXT_COLUMN_ADDRESS), text(TEXT_COLUMN_VALUE), text(TEXT_COLUMN_HEX)});
    ResultTable->setAccessibleName(AnswerGroup->title());
    ResultTable->findChild<QAction*>(QStringLiteral("CopyAction"))->setText(text(TEXT_COPY));
    ui::nameInputsAfterLabels(this);
    showStatus(" ");
}

void TFormGatewayTest::showStatus(const std::string& utf8) {
    ui::showStatusLine(StatusBar1, ui::tableText(utf8));
}

bool TFormGatewayTest::sendOnce(bool repeating) {
    if (Dat == nullptr) {
        return false;
    }
    if (!ui::converterConnected(Dat)) {
        showStatus(" " + Dekl::Text(Dekl::TEXT_NOT_INITIALIZED, lang_));
        return false;
    }
    if (Konvertor.Rozhrani != ROZHRANI_LAN) {
        showStatus(" " + GatewayTest::Text(TEXT_NEEDS_LAN, lang_));
        return false;
    }
    GatewayFields f;
    f.Unit = ui::toUtf8(UnitEdit->text());
    f.Function = FunctionList->currentIndex();
    f.Address = ui::toUtf8(AddressEdit->text());
    f.Count = ui::toUtf8(CountEdit->text());
    f.Values = ui::toUtf8(ValuesEdit->text());
    f.Port = ui::toUtf8(PortEdit->text());
    f.Interval = ui::toUtf8(IntervalEdit->text());
    const GatewayVerdict v = ValidateGatewayFields(f, repeating, lang_);
    if (!v.Accepted) {
        showStatus(" " + v.Message);
        return false;
    }
    intervalMs_ = v.IntervalMs;
    const std::uint32_t timeoutMs = Dat->Pripojeni.LAN_Timeout > 0
                                        ? static_cast<std::uint32_t>(Dat->Pripojeni.LAN_Timeout)
                                        : 1000u;
    const std::string where =
        parseTftpServerAddress(Dat->Pripojeni.LAN_IP).host + ":" + std::to_string(v.Port);
    ModbusTcpTarget target;
    ModbusResult result;
    abort_ = false;
    if (!GatewayTarget(Dat->Pripojeni.LAN_IP, Dat->Pripojeni.LAN_VerzeIP == VERZE_IP6, v.Port,
                       timeoutMs, target)) {
        result.Status = ModbusStatus::NoAddress;
    } else {
        if (!repeating) {
            showStatus(" " + GatewayTest::Text(TEXT_IN_PROGRESS, lang_));
        }
        result = client_.transact(target, v.Request);
        ++requestsSent_;
    }
    showResult(v.Request, result, timeoutMs, where);
    return result.Status != ModbusStatus::Aborted;
}

void TFormGatewayTest::showResult(const ModbusRequest& request, const ModbusResult& r,
                                  std::uint32_t timeoutMs, const std::string& where) {
    lastStatus_ = r.Status;
    if (r.Status == ModbusStatus::Aborted) {
        return; // the window is closing or the repeat was stopped
    }
    RequestHex->setText(hexText(r.Request));
    AnswerHex->setText(hexText(r.Answer));
    RequestHex->setCursorPosition(0);
    AnswerHex->setCursorPosition(0);
    const bool answered = r.Status == ModbusStatus::Answered || r.Status == ModbusStatus::Exception;
    RoundTripValue->setText(answered ? QString::fromStdString(RoundTripText(r.RoundTripUs))
                                     : QString());
    if (r.Status == ModbusStatus::Answered && ModbusIsRead(request.Function)) {
        const std::vector<GatewayRow> rows = GatewayRows(request, r.Values, false);
        ResultTable->setRowCount(static_cast<int>(rows.size()));
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            const GatewayRow& row = rows[static_cast<std::size_t>(i)];
            int column = 0;
            for (const std::string* cell : {&row.Address, &row.Value, &row.Hex}) {
                auto* item = new QTableWidgetItem(QString::fromStdString(*cell));
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                ResultTable->setItem(i, column++, item);
            }
        }
    }
    std::string explanation;
    std::string status = GatewayStatusText(r, where, timeoutMs, lang_);
    if (r.Status == ModbusStatus::Exception) {
        explanation = status;
        // The status line names the exception; the hint is the explanation's.
        status = Format(TEXT_EXCEPTION_SHORT, lang_,
                        {codeText(r.ExceptionCode), ExceptionName(r.ExceptionCode, lang_)});
        if (IsGatewayException(r.ExceptionCode)) {
            TTK7713T_UartmCfg uartm;
            const bool known = TK7713T_PrectiUartm(Konvertor, uartm);
            const std::vector<std::string> causes =
                GatewayCauses(request, known ? &uartm : nullptr, lang_);
            for (std::size_t i = 0; i < causes.size(); ++i) {
                explanation += (i == 0 ? "\n" : "\n- ") + causes[i];
            }
        }
    } else if (r.Status != ModbusStatus::Answered) {
        explanation = status;
    }
    Explanation->setText(ui::tableText(explanation));
    showStatus(" " + status);
}

void TFormGatewayTest::SendClick() {
    transfer_.run([this] { sendOnce(false); });
}

void TFormGatewayTest::RepeatClick() {
    if (repeating_) {
        stopRepeating();
        return;
    }
    repeating_ = true;
    RepeatButton->setText(text(TEXT_STOP));
    SendButton->setEnabled(false);
    RepeatTimerTimer();
}

void TFormGatewayTest::RepeatTimerTimer() {
    if (!repeating_) {
        return;
    }
    // The next request starts one interval after this one started.
    QElapsedTimer started;
    started.start();
    bool sent = false;
    if (!transfer_.run([&] { sent = sendOnce(true); })) {
        RepeatTimer->start(static_cast<int>(intervalMs_)); // a request still runs: try later
        return;
    }
    if (!sent) {
        stopRepeating();
        return;
    }
    if (repeating_) {
        RepeatTimer->start(
            static_cast<int>(std::max<qint64>(0, qint64{intervalMs_} - started.elapsed())));
    }
}

void TFormGatewayTest::stopRepeating() {
    repeating_ = false;
    RepeatTimer->stop();
    RepeatButton->setText(text(TEXT_REPEAT));
    SendButton->setEnabled(true);
}

void TFormGatewayTest::CancelClick() {
    reject();
}

void TFormGatewayTest::done(int result) {
    stopRepeating();
    if (transfer_.deferClose(result)) {
        // The running request ends at its next wait slice; the window closes then.
        abort_ = true;
        TK7713T_Abort(Konvertor);
        return;
    }
    QDialog::done(result);
}
