#include "ui/Pripojeni.h"

#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "link/U_TK7713T.h"
#include "ui/DesktopShell.h"
#include "ui/WindowSupport.h"
#include "workflow/PripojeniLogika.h"
#include "workflow/TextyOken.h"

namespace {

using ui::toUtf8;

const char* const kInterfaces[] = {"LAN", "COM port", "USB COM port"};
const char* const kIpVersions[] = {"IPv4", "IPv6"};

QComboBox* fixedList(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    for (const char* item : items) {
        list->addItem(QString::fromLatin1(item));
    }
    return list;
}

QComboBox* baudList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    ui::fillBaudList(list);
    return list;
}

QLineEdit* field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QLabel* label(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace

TFormPripojeni::TFormPripojeni(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormPripojeni"));
    ui::installEventPump();
    setFont(ui::windowFont(12));

    Label1 = label(this, "Label1");
    ComboBox1 = fixedList(this, "ComboBox1", {kInterfaces[0], kInterfaces[1], kInterfaces[2]});
    Label2 = label(this, "Label2");
    Edit1 = field(this, "Edit1");
    ComboBox2 = fixedList(this, "ComboBox2", {kIpVersions[0], kIpVersions[1]});
    ComboBox2->setVisible(false);
    Label3 = label(this, "Label3");
    Edit2 = field(this, "Edit2");

    Label4 = label(this, "Label4");
    Label5 = label(this, "Label5");
    Label6 = label(this, "Label6");
    Label7 = label(this, "Label7");
    Label8 = label(this, "Label8");
    Label9 = label(this, "Label9");
    Label10 = label(this, "Label10");

    Edit3 = field(this, "Edit3");
    ComboBox3 = baudList(this, "ComboBox3");
    ComboBox4 = fixedList(this, "ComboBox4", {});
    Edit4 = field(this, "Edit4");
    Edit5 = field(this, "Edit5");

    Edit6 = field(this, "Edit6");
    ComboBox5 = baudList(this, "ComboBox5");
    ComboBox6 = fixedList(this, "ComboBox6", {});
    Edit7 = field(this, "Edit7");
    Edit8 = field(this, "Edit8");

    Label11 = label(this, "Label11");
    Panel1 = ui::makeStatusLine(this, "Panel1");
    Panel1->setAutoFillBackground(true);
    QPalette light = Panel1->palette();
    light.setColor(QPalette::Window, QColor(0xF4, 0xF4, 0xE8));
    Panel1->setPalette(light);

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* top = new QGridLayout;
    top->addWidget(Label1, 0, 0);
    top->addWidget(ComboBox1, 0, 1);
    top->addWidget(Label2, 1, 0);
    top->addWidget(Edit1, 1, 1, 1, 2);
    top->addWidget(Label3, 2, 0);
    top->addWidget(Edit2, 2, 1);
    top->setColumnStretch(2, 1);

    auto* serial = new QGridLayout;
    serial->addWidget(Label4, 0, 1);
    serial->addWidget(Label5, 0, 2);
    QLabel* const rowLabels[] = {Label6, Label7, Label8, Label9, Label10};
    QWidget* const comColumn[] = {Edit3, ComboBox3, ComboBox4, Edit4, Edit5};
    QWidget* const usbColumn[] = {Edit6, ComboBox5, ComboBox6, Edit7, Edit8};
    for (int row = 0; row < 5; ++row) {
        serial->addWidget(rowLabels[row], row + 1, 0);
        serial->addWidget(comColumn[row], row + 1, 1);
        serial->addWidget(usbColumn[row], row + 1, 2);
    }
    serial->setColumnMinimumWidth(1, 140);
    serial->setColumnMinimumWidth(2, 140);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    buttons->addWidget(Button2);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(separator);
    all->addLayout(serial);
    all->addSpacing(8);
    all->addWidget(Label11);
    all->addWidget(Panel1);
    all->addSpacing(4);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);
    ui::useFixedSizeFrame(this);
    Panel1->setFixedWidth(560);

    ui::labelFor(Label1, ComboBox1);
    ui::labelFor(Label2, Edit1);
    ui::labelFor(Label3, Edit2);
    ui::labelFor(Label11, Panel1);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TFormPripojeni::ComboBox1Change);
    connect(Button1, &QPushButton::clicked, this, &TFormPripojeni::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormPripojeni::Button2Click);
}

QString TFormPripojeni::text(Pripojeni::TextId id) const {
    return ui::tableText(Pripojeni::Text(id, lang_));
}

void TFormPripojeni::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormPripojeni::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    TPripojeni& P = Dat->Pripojeni;
    if (P.Rozhrani < ROZHRANI_LAN || P.Rozhrani > ROZHRANI_USBCOM) {
        P.Rozhrani = ROZHRANI_LAN;
    }
    lang_ = Dat->Lang;

    setWindowTitle(text(Pripojeni::TEXT_CAPTION));
    Label1->setText(text(Pripojeni::TEXT_INTERFACE));
    Label2->setText(text(Pripojeni::TEXT_IP_ADDRESS));
    Label3->setText(text(Pripojeni::TEXT_LAN_TIMEOUT));
    Label4->setText(text(Pripojeni::TEXT_COM_HEADING));
    Label5->setText(text(Pripojeni::TEXT_USB_HEADING));
    Label6->setText(text(Pripojeni::TEXT_PORT_NUMBER));
    Label7->setText(text(Pripojeni::TEXT_BAUD_RATE));
    Label8->setText(text(Pripojeni::TEXT_PARITY));
    Label9->setText(text(Pripojeni::TEXT_COM_TIMEOUT));
    Label10->setText(text(Pripojeni::TEXT_ADDRESS));
    Label11->setText(text(Pripojeni::TEXT_STATUS));
    Button1->setText(text(Pripojeni::TEXT_CONNECT));
    Button2->setText(text(Pripojeni::TEXT_CANCEL));
    // The two serial columns share their row labels, so each input is named
    // after its column heading and its row.
    QLabel* const rowLabels[] = {Label6, Label7, Label8, Label9, Label10};
    QWidget* const comColumn[] = {Edit3, ComboBox3, ComboBox4, Edit4, Edit5};
    QWidget* const usbColumn[] = {Edit6, ComboBox5, ComboBox6, Edit7, Edit8};
    ui::nameInputsAfterLabels(this);
    for (int row = 0; row < 5; ++row) {
        comColumn[row]->setAccessibleName(Label4->text() + QStringLiteral(" - ") +
                                          rowLabels[row]->text());
        usbColumn[row]->setAccessibleName(Label5->text() + QStringLiteral(" - ") +
                                          rowLabels[row]->text());
    }

    for (QComboBox* parity : {ComboBox4, ComboBox6}) {
        parity->clear();
        parity->addItem(text(Pripojeni::TEXT_PARITY_NONE));
        parity->addItem(text(Pripojeni::TEXT_PARITY_EVEN));
        parity->addItem(text(Pripojeni::TEXT_PARITY_ODD));
        parity->setCurrentIndex(PARITA_SUDA);
    }

    Dat->SPripojeni = Dekl::Text(Dekl::TEXT_NOT_INITIALIZED, lang_);

    const ConnectionControls c = ControlsForSettings(P);
    ComboBox1->setCurrentIndex(c.Interface);
    Edit1->setText(ui::tableText(c.IpAddress));
    ComboBox2->setCurrentIndex(c.IpVersion);
    Edit2->setText(ui::tableText(c.LanTimeout));
    Edit3->setText(ui::tableText(c.Com.PortNumber));
    ComboBox3->setCurrentIndex(c.Com.Baud);
    ComboBox4->setCurrentIndex(c.Com.Parity);
    Edit4->setText(ui::tableText(c.Com.Timeout));
    Edit5->setText(ui::tableText(c.Com.Address));
    Edit6->setText(ui::tableText(c.UsbCom.PortNumber));
    ComboBox5->setCurrentIndex(c.UsbCom.Baud);
    ComboBox6->setCurrentIndex(c.UsbCom.Parity);
    Edit7->setText(ui::tableText(c.UsbCom.Timeout));
    Edit8->setText(ui::tableText(c.UsbCom.Address));

    applyEnablingRules();
    Dat->Init = false;
    showStatus(QStringLiteral(" ") + ui::tableText(Dat->SPripojeni));
}

void TFormPripojeni::ComboBox1Change() {
    applyEnablingRules();
}

void TFormPripojeni::applyEnablingRules() {
    const int rozhrani = ComboBox1->currentIndex();
    const bool lan = rozhrani == ROZHRANI_LAN;
    const bool com = rozhrani == ROZHRANI_COM;
    const bool usb = rozhrani == ROZHRANI_USBCOM;
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, Edit1, Label3, Edit2, ComboBox2}) {
        w->setEnabled(lan);
    }
    Label6->setEnabled(com || usb);
    for (QWidget* w : std::initializer_list<QWidget*>{Label7, Label8, Label9, Label10, Label4,
                                                      Edit3, ComboBox3, ComboBox4, Edit4, Edit5}) {
        w->setEnabled(com);
    }
    Label5->setEnabled(usb);
    Edit6->setEnabled(usb);
    // The USB column's other settings are fixed.
    for (QWidget* w : std::initializer_list<QWidget*>{ComboBox5, ComboBox6, Edit7, Edit8}) {
        w->setEnabled(false);
    }
}

void TFormPripojeni::showStatus(const QString& line) {
    ui::showStatusLine(Panel1, line);
}

void TFormPripojeni::Button1Click() {
    // Events are processed while the converter answers; a second press must
    // not start a second transfer on the same link.
    transfer_.run([this] {
        Button1->setEnabled(false);
        Button2->setEnabled(false);
        InicializacePripojeni();
        Button1->setEnabled(true);
        Button2->setEnabled(true);
    });
}

void TFormPripojeni::InicializacePripojeni() {
    ConnectionControls c;
    c.Interface = ComboBox1->currentIndex();
    c.IpAddress = toUtf8(Edit1->text());
    c.IpVersion = ComboBox2->currentIndex();
    c.LanTimeout = toUtf8(Edit2->text());
    c.Com = SerialControls{toUtf8(Edit3->text()), ComboBox3->currentIndex(),
                           ComboBox4->currentIndex(), toUtf8(Edit4->text()), toUtf8(Edit5->text())};
    c.UsbCom =
        SerialControls{toUtf8(Edit6->text()), ComboBox5->currentIndex(), ComboBox6->currentIndex(),
                       toUtf8(Edit7->text()), toUtf8(Edit8->text())};

    ConnectionHooks hooks;
    hooks.showStatus = [this](const std::string& text, const std::string& converterText) {
        showStatus(QStringLiteral(" ") + ui::tableText(text) + ui::converterText(converterText));
    };
    hooks.pause = ui::pauseProcessingEvents;
    const ConnectionResult result = ::InicializacePripojeni(c, Dat, Konvertor, lang_, hooks);

    const ListCorrections& k = result.Corrections;
    if (k.Interface)
        ComboBox1->setCurrentIndex(*k.Interface);
    if (k.IpVersion)
        ComboBox2->setCurrentIndex(*k.IpVersion);
    if (k.ComBaud)
        ComboBox3->setCurrentIndex(*k.ComBaud);
    if (k.ComParity)
        ComboBox4->setCurrentIndex(*k.ComParity);
    if (k.UsbBaud)
        ComboBox5->setCurrentIndex(*k.UsbBaud);
    if (k.UsbParity)
        ComboBox6->setCurrentIndex(*k.UsbParity);
}

void TFormPripojeni::Button2Click() {
    reject();
}

void TFormPripojeni::done(int result) {
    // Closing waits until the running attempt returns.
    if (!transfer_.deferClose(result)) {
        QDialog::done(result);
    }
}
