// Connection dialog: interface choice, settings of each interface, and the
// Connect button that establishes the connection.
#pragma once

#include <QDialog>

#include "app/Dekl.h"
#include "ui/WindowSupport.h"
#include "workflow/TextyOken.h"

class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

class TFormPripojeni : public QDialog {
    Q_OBJECT

  public:
    explicit TFormPripojeni(QWidget* parent = nullptr);

    // Set by the opener before showing.
    PData Dat = nullptr;

    // Interface and LAN settings.
    QLabel* Label1 = nullptr;       // "Interface"
    QComboBox* ComboBox1 = nullptr; // LAN / COM port / USB COM port
    QLabel* Label2 = nullptr;       // "IP address"
    QLineEdit* Edit1 = nullptr;     // IP address
    QComboBox* ComboBox2 = nullptr; // IP version, never visible
    QLabel* Label3 = nullptr;       // "LAN timeout [ms]"
    QLineEdit* Edit2 = nullptr;     // LAN timeout

    // Serial columns: headings and the shared row labels.
    QLabel* Label4 = nullptr;  // "COM port" heading
    QLabel* Label5 = nullptr;  // "USB COM port" heading
    QLabel* Label6 = nullptr;  // port number row
    QLabel* Label7 = nullptr;  // baud-rate row
    QLabel* Label8 = nullptr;  // parity row
    QLabel* Label9 = nullptr;  // timeout row
    QLabel* Label10 = nullptr; // address row

    // COM port column.
    QLineEdit* Edit3 = nullptr;     // port number
    QComboBox* ComboBox3 = nullptr; // baud rate
    QComboBox* ComboBox4 = nullptr; // parity
    QLineEdit* Edit4 = nullptr;     // timeout
    QLineEdit* Edit5 = nullptr;     // address

    // USB COM port column.
    QLineEdit* Edit6 = nullptr;     // port number
    QComboBox* ComboBox5 = nullptr; // baud rate (fixed)
    QComboBox* ComboBox6 = nullptr; // parity (fixed)
    QLineEdit* Edit7 = nullptr;     // timeout (fixed)
    QLineEdit* Edit8 = nullptr;     // address (fixed)

    // Status and buttons.
    QLabel* Label11 = nullptr;      // "Connection status"
    QLabel* Panel1 = nullptr;       // status panel
    QPushButton* Button1 = nullptr; // Connect
    QPushButton* Button2 = nullptr; // Cancel

    void FormShow();
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();

    // True while a connection attempt runs.
    bool attemptRunning() const { return transfer_.running(); }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void InicializacePripojeni();
    void applyEnablingRules();
    void showStatus(const QString& text);
    QString text(Pripojeni::TextId id) const;

    std::int32_t lang_ = LANG_EN;
    ui::TransferGuard transfer_{this};
};
