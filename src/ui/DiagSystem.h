// Converter information window: identity, network address and run time of
// the connected converter, read from sys.bin every 100 ms while it is open.
#pragma once

#include <QDialog>

#include "app/Dekl.h"
#include "ui/WindowSupport.h"
#include "workflow/TextyOken.h"

class QAction;
class QGroupBox;
class QLabel;
class QPushButton;
class QShowEvent;
class QTableWidget;
class QTimer;

class TFormDiagPrehled : public QDialog {
    Q_OBJECT

  public:
    explicit TFormDiagPrehled(QWidget* parent = nullptr);

    // Set by the opener before showing.
    PData Dat = nullptr;

    QGroupBox* GroupBox1 = nullptr;      // "Overview"
    QTableWidget* StringGrid1 = nullptr; // labels and values, 6 rows
    QAction* CopyAction = nullptr;       // table's context menu
    QPushButton* Button1 = nullptr;      // Cancel
    QLabel* StatusBar1 = nullptr;        // status panel
    QTimer* Timer1 = nullptr;            // 100 ms polling

    void FormShow();
    void Timer1Timer();
    void Button1Click();

    // True while a tick's read runs.
    bool tickRunning() const { return transfer_.running(); }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void readSys();
    void showStatus(Dekl::TextId deklTextId);
    QString text(DiagSystem::TextId id) const;

    std::int32_t lang_ = LANG_EN;
    ui::TransferGuard transfer_{this};
};
