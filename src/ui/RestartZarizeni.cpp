#include "ui/RestartZarizeni.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "link/U_TK7713T.h"
#include "ui/DesktopShell.h"
#include "workflow/TextyOken.h"

TFormRestart::TFormRestart(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormRestart"));
    ui::installEventPump();
    setFont(ui::windowFont(12));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(ui::windowFont(12, true));
    Label1->setWordWrap(true);
    Label1->setMinimumWidth(300);
    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));
    // Enter presses the focused button; the dialog opens on Cancel, so an
    // Enter at once restarts nothing.
    Button2->setDefault(true);
    StatusBar1 = ui::makeStatusLine(this, "StatusBar1");

    auto* question = new QHBoxLayout;
    question->addWidget(Image1, 0, Qt::AlignTop);
    question->addSpacing(12);
    question->addWidget(Label1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(question);
    all->addSpacing(12);
    all->addLayout(buttons);
    all->addWidget(StatusBar1);
    all->setSizeConstraint(QLayout::SetFixedSize);
    ui::useFixedSizeFrame(this);

    connect(Button1, &QPushButton::clicked, this, &TFormRestart::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormRestart::Button2Click);
}

QString TFormRestart::text(RestartZarizeni::TextId id) const {
    return ui::tableText(RestartZarizeni::Text(id, lang_));
}

void TFormRestart::showStatus(const std::string& line) {
    ui::showStatusLine(StatusBar1, ui::tableText(line));
}

void TFormRestart::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormRestart::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    lang_ = Dat->Lang;
    setWindowTitle(text(RestartZarizeni::TEXT_CAPTION));
    Label1->setText(text(RestartZarizeni::TEXT_QUESTION));
    Button1->setText(text(RestartZarizeni::TEXT_RESTART));
    Button2->setText(text(RestartZarizeni::TEXT_CANCEL));
    // The question is what the dialog is about.
    setAccessibleDescription(Label1->text());
    StatusBar1->clear();
    Button2->setFocus();
}

void TFormRestart::Button1Click() {
    transfer_.runConnected(Dat, lang_, StatusBar1, [this] {
        showStatus(" " + RestartZarizeni::Text(RestartZarizeni::TEXT_RESTARTING, lang_));
        std::int32_t status = 0;
        if (!TK7713T_Restart(Konvertor, status)) {
            showStatus(" " + Dekl::Text(Dekl::TEXT_CONNECTION_ERROR, lang_));
            return;
        }
        showStatus(" " + RestartZarizeni::Text(RestartZarizeni::TEXT_RESTARTED, lang_));
        ui::pauseProcessingEvents(SHOW_RESTARTED_MS);
        accept();
    });
}

void TFormRestart::Button2Click() {
    reject();
}

void TFormRestart::done(int result) {
    // Closing waits until the running restart returns.
    if (!transfer_.deferClose(result)) {
        QDialog::done(result);
    }
}
