// Modbus TCP server dialog: the converter's alternative unit address and
// the inactive connection timeout (mbtcp.cfg).
#pragma once

#include "ui/SettingsDialog.h"

class TFormNastavModbusTCP : public SettingsDialog {
    Q_OBJECT

  public:
    explicit TFormNastavModbusTCP(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;   // "Converter address (UnitID)"
    QLineEdit* Edit1 = nullptr; // always 255, disabled
    QLabel* Label2 = nullptr;   // "Alternative converter address ..."
    QLineEdit* Edit2 = nullptr;
    QLabel* Label3 = nullptr; // note under the alternative address
    QLabel* Label4 = nullptr; // "Inactive TCP connection timeout ..."
    QLineEdit* Edit3 = nullptr;
    QLabel* Label5 = nullptr;       // "Routing to Modbus RTU master"
    QComboBox* ComboBox1 = nullptr; // always "enable", disabled

    bool PrectiOkno(TCFGTK& cfg) override;
    void ZapisOkno(const TCFGTK& cfg) override;

  protected:
    void setTexts() override;
    void showDefaults() override;

  private:
    void showControls(const MbtcpControls& c);
};
