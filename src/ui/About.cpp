#include "ui/About.h"

#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <iterator>

#include "ui/DesktopShell.h"
#include "ui/WindowSupport.h"

namespace About {

namespace {

constexpr TTextPolozka AboutTexts[] = {
    {0, "", ""},
    {TEXT_CAPTION, "O programu", "About W_tk7713t"},
    {TEXT_VERSION, "Verze", "Version"},
    {TEXT_WEB_ADDRESS, "https://example.org/w_tk7713t/cs", "https://example.org/w_tk7713t/en"},
    {TEXT_CANCEL, "Cancel", "Cancel"},
};
static_assert(TextTabulkaPlatna(AboutTexts));
static_assert(std::size(AboutTexts) == 5);

} // namespace

TTextTabulka Texty() {
    return AboutTexts;
}

} // namespace About

namespace {

constexpr const char* kProgramName = "W_TK7713T";
constexpr const char* kMakerLine1 = "W_tk7713t project team";
constexpr const char* kMakerLine2 = "Configuration tool for TK-7713T converters";

QString text(About::TextId id, std::int32_t lang) {
    return ui::tableText(About::Text(id, lang));
}

// The window's 93 x 52 picture, drawn in the 16 colours of the classic
// palette: a converter front with its ports and status lights.
QPixmap converterPicture() {
    QPixmap picture(93, 52);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setPen(Qt::black);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(4, 6, 84, 40);
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(10, 30, 16, 10); // Ethernet
    p.drawRect(32, 32, 22, 8);  // RS-485
    p.drawRect(60, 33, 10, 6);  // USB
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 255, 0));
    p.drawEllipse(74, 12, 5, 5);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(74, 21, 5, 5);
    p.setPen(Qt::white);
    QFont f;
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(8, 9, 64, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TK-7713T"));
    return picture;
}

} // namespace

TFormOProgramu::TFormOProgramu(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormOProgramu"));
    setFont(ui::windowFont(11));
    setFixedSize(359, 196);
    ui::useFixedSizeFrame(this);
    setSizeGripEnabled(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(12, 12, 97, 56);
    Image1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1->setLineWidth(2);
    Image1->setAutoFillBackground(true);
    QPalette white = Image1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Image1->setPalette(white);
    Image1->setScaledContents(true);
    Image1->setPixmap(converterPicture());

    LabelNazev = new QLabel(QString::fromLatin1(kProgramName), this);
    LabelNazev->setObjectName(QStringLiteral("LabelNazev"));
    LabelNazev->setFont(ui::windowFont(19, true));
    LabelNazev->setGeometry(124, 12, 224, 26);

    LabelVerze = new QLabel(this);
    LabelVerze->setObjectName(QStringLiteral("LabelVerze"));
    LabelVerze->setGeometry(124, 44, 224, 18);

    LabelVyrobce1 = new QLabel(QString::fromUtf8(kMakerLine1), this);
    LabelVyrobce1->setObjectName(QStringLiteral("LabelVyrobce1"));
    LabelVyrobce1->setGeometry(12, 80, 336, 18);

    LabelVyrobce2 = new QLabel(QString::fromUtf8(kMakerLine2), this);
    LabelVyrobce2->setObjectName(QStringLiteral("LabelVyrobce2"));
    LabelVyrobce2->setGeometry(12, 98, 336, 18);

    LabelOdkaz = new QLabel(this);
    LabelOdkaz->setObjectName(QStringLiteral("LabelOdkaz"));
    LabelOdkaz->setGeometry(12, 120, 336, 18);
    QFont linkFont = LabelOdkaz->font();
    linkFont.setUnderline(true);
    LabelOdkaz->setFont(linkFont);
    QPalette blue = LabelOdkaz->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    LabelOdkaz->setPalette(blue);
    LabelOdkaz->setCursor(Qt::PointingHandCursor);
    LabelOdkaz->installEventFilter(this);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 148, 343, 4);

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(271, 160, 80, 26);
    connect(Button1, &QPushButton::clicked, this, &TFormOProgramu::Button1Click);

    // English until a record says otherwise; kept when none is given.
    setTexts();
}

void TFormOProgramu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFormOProgramu::FormShow() {
    if (Dat == nullptr) {
        return;
    }
    lang_ = Dat->Lang;
    setTexts();
}

void TFormOProgramu::setTexts() {
    setWindowTitle(text(About::TEXT_CAPTION, lang_));
    LabelVerze->setText(text(About::TEXT_VERSION, lang_) + QStringLiteral("  ") +
                        QString::fromLatin1(About::PROGRAM_VERSION));
    LabelOdkaz->setText(text(About::TEXT_WEB_ADDRESS, lang_));
    Button1->setText(text(About::TEXT_CANCEL, lang_));
}

bool TFormOProgramu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelOdkaz && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LabelOdkazClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormOProgramu::LabelOdkazClick() {
    const auto& open = ui::desktopShell().openAddress;
    if (open) {
        open(text(About::TEXT_WEB_ADDRESS, lang_));
    }
}

void TFormOProgramu::Button1Click() {
    reject();
}
