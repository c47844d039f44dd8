#include "ui/WindowSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include "workflow/TextyOken.h"

// The resource is compiled into this static library: naming it here makes
// the linker keep it. Outside any namespace, as the macro requires.
static void loadIconResource() {
    Q_INIT_RESOURCE(icons);
}

namespace ui {

void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("W_tk7713t"));
    QApplication::setWindowIcon(programIcon());
}

QIcon programIcon() {
    loadIconResource();
    // PNGs, which Qt reads without any plugin, so the icon cannot be missing
    // (the Windows build carries no SVG module).
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/w-tk7713t-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void useFixedSizeFrame(QDialog* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

QString tableText(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString converterText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QFont windowFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void fillBaudList(QComboBox* list) {
    list->clear();
    for (const char* item : BAUD_LIST_ITEMS) {
        list->addItem(QString::fromLatin1(item));
    }
}

void fillList(QComboBox* list, std::initializer_list<QString> items) {
    list->clear();
    for (const QString& item : items) {
        list->addItem(item);
    }
    list->setCurrentIndex(-1);
}

void selectListPosition(QComboBox* list, std::int32_t position) {
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

namespace {

void nameAfterCaption(const QLabel* caption, QWidget* control) {
    if (qobject_cast<QLabel*>(control) != nullptr) {
        control->setAccessibleDescription(caption->text());
    } else {
        // Lists report their current entry as their name on some desktops,
        // so the caption is given to every input explicitly.
        control->setAccessibleName(caption->text());
    }
}

} // namespace

void labelFor(QLabel* label, QWidget* input) {
    label->setBuddy(input);
    nameAfterCaption(label, input);
}

void nameInputsAfterLabels(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            nameAfterCaption(label, label->buddy());
        }
    }
}

QLabel* makeStatusLine(QWidget* parent, const char* objectName) {
    auto* line = new QLabel(parent);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line->setMinimumHeight(22);
    return line;
}

void showStatusLine(QLabel* line, const QString& text) {
    line->setText(text);
    line->repaint();
    // Screen readers announce what the window reports.
    QAccessibleEvent event(line, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void pauseProcessingEvents(std::uint32_t milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(milliseconds), &loop, &QEventLoop::quit);
    loop.exec();
}

bool TransferGuard::run(const std::function<void()>& work) {
    if (running_) {
        return false;
    }
    running_ = true;
    work();
    running_ = false;
    if (closeRequested_) {
        closeRequested_ = false;
        dialog_->done(closeResult_);
    }
    return true;
}

void TransferGuard::runConnected(PData Dat, std::int32_t lang, QLabel* statusLine,
                                 const std::function<void()>& work) {
    if (Dat == nullptr) {
        return;
    }
    run([&] {
        if (!Dat->Init) {
            showStatusLine(statusLine, QStringLiteral(" ") +
                                           tableText(Dekl::Text(Dekl::TEXT_NOT_INITIALIZED, lang)));
            return;
        }
        work();
    });
}

bool TransferGuard::deferClose(int result) {
    if (!running_) {
        return false;
    }
    closeRequested_ = true;
    closeResult_ = result;
    return true;
}

} // namespace ui
