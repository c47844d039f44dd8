#include "ui/WindowSupport.h"

#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include "workflow/TextyOken.h"

namespace ui {

QString tableText(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString converterText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
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

void pauseProcessingEvents(std::uint32_t milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(milliseconds), &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace ui
