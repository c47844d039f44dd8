// Modbus RTU slave (RS-485) dialog: the converter's slave address, baud
// rate, parity and routing to the master line (uarts.cfg).
#pragma once

#include "ui/SettingsDialog.h"

class TFormNastavServisniLinka : public SettingsDialog {
    Q_OBJECT

  public:
    explicit TFormNastavServisniLinka(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr; // "Converter address (1-255)"
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;       // "Baud rate"
    QComboBox* ComboBox1 = nullptr; // baud rate
    QLabel* Label3 = nullptr;       // "Parity"
    QComboBox* ComboBox2 = nullptr; // parity
    QLabel* Label4 = nullptr;       // "Routing to Modbus RTU master"
    QComboBox* ComboBox3 = nullptr; // routing

    bool PrectiOkno(TCFGTK& cfg) override;
    void ZapisOkno(const TCFGTK& cfg) override;

  protected:
    // The same window for another port: its own name, file and texts.
    TFormNastavServisniLinka(const char* objectName, std::optional<ConfigDialog> file,
                             TTextTabulka texts, const ConfigDialogTextIds& ids, QWidget* parent);

    void setTexts() override;
    void showDefaults() override;
    void showControls(const UartsControls& c);
};
