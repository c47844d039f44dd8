// What the converter settings dialogs share: the working copy of the
// converter configuration taken when the dialog is shown, the row of
// buttons (Write, Read, OK, Cancel, with Default parameters above it), the
// status line, and Read, Write-and-verify, OK, Cancel and Default
// parameters. Each dialog adds its fields, its text table, and how its
// fields map to its part of the configuration.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "app/Dekl.h"
#include "ui/WindowSupport.h"
#include "workflow/NastaveniLogika.h"
#include "workflow/TextyOken.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QVBoxLayout;

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    // Set by the opener before showing.
    PData Dat = nullptr;
    // The working copy: Read, Write and OK work on it; only OK copies it
    // into TData.CFGTK.
    TCFGTK CFGTK;

    QPushButton* Button1 = nullptr; // Read
    QPushButton* Button2 = nullptr; // Write
    QPushButton* Button3 = nullptr; // OK
    QPushButton* Button4 = nullptr; // Cancel
    QPushButton* Button6 = nullptr; // Default parameters
    QLabel* StatusBar1 = nullptr;   // status line

    void FormShow();
    void Button1Click(); // Read
    void Button2Click(); // Write
    void Button3Click(); // OK
    void Button4Click(); // Cancel
    void Button6Click(); // Default parameters

    // Reads the dialog's file; on success stores it in cfg's part.
    bool PrectiData(TCFGTK& cfg);
    // Writes cfg's part and verifies it by reading it back.
    void ZapisData(const TCFGTK& cfg);
    // Takes the controls into cfg's part with validation; the verdict is
    // left in the status line and returned (true: every field accepted).
    virtual bool PrectiOkno(TCFGTK& cfg) = 0;
    // Shows cfg's part in the controls.
    virtual void ZapisOkno(const TCFGTK& cfg) = 0;

    // True while a read or write runs.
    bool transferRunning() const { return transfer_.running(); }

    void done(int result) override;

  protected:
    // file: the converter file the dialog reads and writes; none for a view
    // that makes no transfer.
    SettingsDialog(const char* objectName, std::optional<ConfigDialog> file, TTextTabulka texts,
                   const ConfigDialogTextIds& ids, QWidget* parent);

    // The dialog's inputs, top to bottom; each label names its input.
    QLineEdit* addTextField(QLabel*& label, const char* labelName, const char* fieldName);
    QComboBox* addList(QLabel*& label, const char* labelName, const char* listName);
    QVBoxLayout* fieldColumn() const { return fields_; }
    // Called at the end of each dialog's constructor: buttons, status line,
    // keyboard order and the fixed size.
    void finishLayout();

    // Captions, labels and word lists in the language just taken, with the
    // entries the dialog selects before showing its working copy.
    virtual void setTexts() = 0;
    // The default parameters, into the controls only.
    virtual void showDefaults() = 0;

    QString text(std::int32_t id) const;
    std::int32_t lang() const { return lang_; }
    // Puts PrectiOkno's verdict into the status line.
    bool takeVerdict(const Verdict& verdict);

    void showEvent(QShowEvent* event) override;

  private:
    void showStatus(const std::string& line);
    DialogHooks hooks();
    template <typename Input>
    Input* addInput(QLabel*& label, const char* labelName, const char* inputName);

    std::optional<ConfigDialog> file_;
    TTextTabulka texts_;
    ConfigDialogTextIds ids_;
    std::int32_t lang_ = LANG_EN;
    QVBoxLayout* fields_ = nullptr;
    std::vector<QWidget*> inputs_;
    ui::TransferGuard transfer_{this};
};
