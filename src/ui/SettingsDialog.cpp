#include "ui/SettingsDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "link/U_TK7713T.h"
#include "ui/DesktopShell.h"

SettingsDialog::SettingsDialog(const char* objectName, std::optional<ConfigDialog> file,
                               TTextTabulka texts, const ConfigDialogTextIds& ids, QWidget* parent)
    : QDialog(parent), file_(file), texts_(texts), ids_(ids) {
    setObjectName(QString::fromLatin1(objectName));
    ui::installEventPump();
    setFont(ui::windowFont(12));
    CFGTK = VychoziCFGTK();

    auto* all = new QVBoxLayout(this);
    fields_ = new QVBoxLayout;
    fields_->setSpacing(2);
    all->addLayout(fields_);

    auto makeButton = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    Button6 = makeButton("Button6");
    Button2 = makeButton("Button2");
    Button1 = makeButton("Button1");
    Button3 = makeButton("Button3");
    Button4 = makeButton("Button4");
    // Enter presses the focused button (Write too); in a field it means OK,
    // which sends nothing.
    Button3->setDefault(true);
    StatusBar1 = ui::makeStatusLine(this, "StatusBar1");

    connect(Button1, &QPushButton::clicked, this, &SettingsDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &SettingsDialog::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &SettingsDialog::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &SettingsDialog::Button4Click);
    connect(Button6, &QPushButton::clicked, this, &SettingsDialog::Button6Click);
}

template <typename Input>
Input* SettingsDialog::addInput(QLabel*& label, const char* labelName, const char* inputName) {
    label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(labelName));
    auto* input = new Input(this);
    input->setObjectName(QString::fromLatin1(inputName));
    ui::labelFor(label, input);
    fields_->addWidget(label);
    fields_->addWidget(input);
    fields_->addSpacing(6);
    inputs_.push_back(input);
    return input;
}

QLineEdit* SettingsDialog::addTextField(QLabel*& label, const char* labelName,
                                        const char* fieldName) {
    return addInput<QLineEdit>(label, labelName, fieldName);
}

QComboBox* SettingsDialog::addList(QLabel*& label, const char* labelName, const char* listName) {
    return addInput<QComboBox>(label, labelName, listName);
}

void SettingsDialog::finishLayout() {
    auto* all = static_cast<QVBoxLayout*>(layout());
    auto* defaults = new QHBoxLayout;
    defaults->addStretch(1);
    defaults->addWidget(Button6);
    all->addLayout(defaults);

    auto* row = new QHBoxLayout;
    for (QPushButton* b : {Button2, Button1, Button3, Button4}) {
        row->addWidget(b);
    }
    all->addLayout(row);
    all->addWidget(StatusBar1);
    all->setSizeConstraint(QLayout::SetFixedSize);
    ui::useFixedSizeFrame(this);
    for (QWidget* w : inputs_) {
        w->setMinimumWidth(360);
    }

    // Tab goes top to bottom, then along the buttons as they stand.
    std::vector<QWidget*> order = inputs_;
    order.insert(order.end(), {Button6, Button2, Button1, Button3, Button4});
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

QString SettingsDialog::text(std::int32_t id) const {
    return ui::tableText(::Text(texts_, id, lang_));
}

void SettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void SettingsDialog::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    CFGTK = Dat->CFGTK;
    lang_ = Dat->Lang;
    setWindowTitle(text(ids_.Caption));
    Button6->setText(text(ids_.DefaultParameters));
    Button2->setText(text(ids_.Write));
    Button1->setText(text(ids_.Read));
    Button3->setText(text(ids_.Ok));
    Button4->setText(text(ids_.Cancel));
    setTexts();
    ui::nameInputsAfterLabels(this);
    ZapisOkno(CFGTK);
    showStatus(" ");
}

void SettingsDialog::showStatus(const std::string& line) {
    ui::showStatusLine(StatusBar1, ui::tableText(line));
}

DialogHooks SettingsDialog::hooks() {
    DialogHooks h;
    h.showStatus = [this](const std::string& line) { showStatus(line); };
    h.pause = ui::pauseProcessingEvents;
    return h;
}

bool SettingsDialog::takeVerdict(const Verdict& verdict) {
    showStatus(verdict.StatusLine);
    return verdict.Accepted;
}

bool SettingsDialog::PrectiData(TCFGTK& cfg) {
    if (!file_) {
        return false;
    }
    return ::PrectiData(*file_, cfg, Dat, Konvertor, lang_, hooks()).Outcome == ReadOutcome::Read;
}

void SettingsDialog::ZapisData(const TCFGTK& cfg) {
    if (file_) {
        ::ZapisData(*file_, cfg, Dat, Konvertor, lang_, hooks());
    }
}

void SettingsDialog::Button1Click() {
    transfer_.runConnected(Dat, lang_, StatusBar1, [this] {
        PrectiData(CFGTK);
        // Also after a failed read: typed values not yet taken give way to
        // the working copy.
        ZapisOkno(CFGTK);
    });
}

void SettingsDialog::Button2Click() {
    transfer_.runConnected(Dat, lang_, StatusBar1, [this] {
        if (PrectiOkno(CFGTK)) {
            ZapisData(CFGTK);
        }
    });
}

void SettingsDialog::Button3Click() {
    if (transfer_.running()) {
        return;
    }
    if (Dat == nullptr) {
        accept();
        return;
    }
    if (PrectiOkno(CFGTK)) {
        Dat->CFGTK = CFGTK;
        accept();
    }
}

void SettingsDialog::Button4Click() {
    reject();
}

void SettingsDialog::Button6Click() {
    if (!transfer_.running()) {
        showDefaults();
    }
}

void SettingsDialog::done(int result) {
    // Closing waits until the running transfer returns.
    if (!transfer_.deferClose(result)) {
        QDialog::done(result);
    }
}
