// Modbus RTU master dialog: baud rate, parity, external module timeout and
// retries of the converter's RS-485 master line (uartm.cfg).
#pragma once

#include "ui/SettingsDialog.h"

class TFormNastavHlavniLinka : public SettingsDialog {
    Q_OBJECT

  public:
    explicit TFormNastavHlavniLinka(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;       // "Baud rate"
    QComboBox* ComboBox1 = nullptr; // baud rate
    QLabel* Label2 = nullptr;       // "Parity"
    QComboBox* ComboBox2 = nullptr; // parity
    QLabel* Label3 = nullptr;       // "External module timeout [ms] (1-65535)"
    QLineEdit* Edit1 = nullptr;
    QLabel* Label4 = nullptr; // "Number of retries on communication error (0-15)"
    QLineEdit* Edit2 = nullptr;

    bool PrectiOkno(TCFGTK& cfg) override;
    void ZapisOkno(const TCFGTK& cfg) override;

  protected:
    void setTexts() override;
    void showDefaults() override;

  private:
    void showControls(const UartmControls& c);
};
