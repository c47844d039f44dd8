// "Modbus gateway test" window: one Modbus request, or one every interval,
// through the converter's Modbus TCP server to a unit on its master line,
// with the answer as a table, its round trip, both ADUs in hex and what a
// failure means. The request runs on the user-interface thread and pumps
// events while it waits, like every transfer of the program.
#pragma once

#include <QDialog>

#include "app/Dekl.h"
#include "link/M_ModbusTCP.h"
#include "ui/WindowSupport.h"
#include "workflow/GatewayTestLogic.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTableWidget;
class QTimer;

class TFormGatewayTest : public QDialog {
    Q_OBJECT

  public:
    explicit TFormGatewayTest(QWidget* parent = nullptr);

    // Set by the opener before showing.
    PData Dat = nullptr;

    QGroupBox* RequestGroup = nullptr;
    QLineEdit* UnitEdit = nullptr;
    QComboBox* FunctionList = nullptr;
    QLineEdit* AddressEdit = nullptr;
    QLineEdit* CountEdit = nullptr;
    QLineEdit* ValuesEdit = nullptr;
    QLineEdit* PortEdit = nullptr;
    QLineEdit* IntervalEdit = nullptr;
    QLabel* ZeroBasedNote = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* RepeatButton = nullptr; // "Repeat", or "Stop" while repeating
    QPushButton* CancelButton = nullptr;
    QGroupBox* AnswerGroup = nullptr;
    QTableWidget* ResultTable = nullptr; // address, value, hex
    QLineEdit* RoundTripValue = nullptr;
    QLineEdit* RequestHex = nullptr;
    QLineEdit* AnswerHex = nullptr;
    QLabel* Explanation = nullptr;
    QLabel* StatusBar1 = nullptr;
    QTimer* RepeatTimer = nullptr;

    void FormShow();
    void SendClick();
    void RepeatClick();
    void RepeatTimerTimer();
    void CancelClick();

    bool requestRunning() const { return transfer_.running(); }
    bool repeating() const { return repeating_; }
    // How the last request ended, and how many requests were sent.
    ModbusStatus lastStatus() const { return lastStatus_; }
    std::uint32_t requestsSent() const { return requestsSent_; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QString text(GatewayTest::TextId id) const;
    void showStatus(const std::string& utf8);
    // One request from the fields; false when it could not be sent at all
    // (no connection, no LAN, a refused field), which ends repeating.
    bool sendOnce(bool repeating);
    void showResult(const ModbusRequest& request, const ModbusResult& result,
                    std::uint32_t timeoutMs, const std::string& where);
    void stopRepeating();

    std::int32_t lang_ = LANG_EN;
    ui::TransferGuard transfer_{this};
    ModbusTcpClient client_;
    bool abort_ = false;
    bool repeating_ = false;
    std::uint32_t intervalMs_ = 100;
    ModbusStatus lastStatus_ = ModbusStatus::Aborted;
    std::uint32_t requestsSent_ = 0;
};
