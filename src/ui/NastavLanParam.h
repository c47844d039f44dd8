// LAN parameters dialog: address mode, IPv4 address, mask and gateway of
// the converter (lan4.cfg).
#pragma once

#include "ui/SettingsDialog.h"

class TFormNastavLanParam : public SettingsDialog {
    Q_OBJECT

  public:
    explicit TFormNastavLanParam(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;       // "IP4 protocol settings"
    QComboBox* ComboBox1 = nullptr; // address mode: manual, DHCP
    QLabel* Label2 = nullptr;       // "IP4 address"
    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr; // "IP4 mask"
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr; // "IP4 gateway"
    QLineEdit* Edit3 = nullptr;
    // IPv6 fields, never shown: LLA, GUA, mask, gateway.
    QLabel* Label5 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* Edit7 = nullptr;

    bool PrectiOkno(TCFGTK& cfg) override;
    void ZapisOkno(const TCFGTK& cfg) override;
    // Enables the IPv4 fields and their labels only for a manual address.
    void AktualizaceNastaveni();
    void ComboBox1Change();

  protected:
    void setTexts() override;
    void showDefaults() override;

  private:
    void showControls(const Lan4Controls& c);
    void showIp6(const TCFG_LAN6& lan6);
};
