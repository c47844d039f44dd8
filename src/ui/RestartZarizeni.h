// Restart dialog: asks the operator to confirm, then sends the restart
// command to the converter.
#pragma once

#include <QDialog>

#include "app/Dekl.h"
#include "ui/WindowSupport.h"
#include "workflow/TextyOken.h"

class QLabel;
class QPushButton;
class QShowEvent;

class TFormRestart : public QDialog {
    Q_OBJECT

  public:
    explicit TFormRestart(QWidget* parent = nullptr);

    // Set by the opener before showing.
    PData Dat = nullptr;

    QLabel* Image1 = nullptr;       // warning sign
    QLabel* Label1 = nullptr;       // the question, bold
    QPushButton* Button1 = nullptr; // Restart
    QPushButton* Button2 = nullptr; // Cancel
    QLabel* StatusBar1 = nullptr;   // status line

    void FormShow();
    void Button1Click();
    void Button2Click();

    bool transferRunning() const { return transfer_.running(); }
    void done(int result) override;

    // How long "Converter restarted" shows before the dialog closes.
    static constexpr std::uint32_t SHOW_RESTARTED_MS = 1000;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QString text(RestartZarizeni::TextId id) const;
    void showStatus(const std::string& line);

    std::int32_t lang_ = LANG_EN;
    ui::TransferGuard transfer_{this};
};
