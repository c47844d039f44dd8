#include "ui/DiagnosticsSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include "link/U_TK7713T.h"
#include "ui/DesktopShell.h"

namespace ui {

namespace {

constexpr int kRowHeight = 21;

// Shows everything it holds at once, so it has nothing to scroll to. Without
// this a click, a key or Tab into a value cell scrolls the wide value column
// sideways, and with no scroll bars the labels never come back.
class OverviewTable : public QTableWidget {
  public:
    using QTableWidget::QTableWidget;

  protected:
    void updateGeometries() override {
        QTableWidget::updateGeometries();
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    }
};

QTableWidgetItem* cell(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(row, column, item);
    }
    return item;
}

} // namespace

QTableWidget* makeOverviewTable(QWidget* parent, const char* objectName, int rows, int labelWidth,
                                int valueWidth, QAction** copyAction) {
    auto* table = new OverviewTable(rows, 2, parent);
    table->setObjectName(QString::fromLatin1(objectName));
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab goes on to the window's next control, never from cell to cell.
    table->setTabKeyNavigation(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table->setColumnWidth(0, labelWidth);
    table->setColumnWidth(1, valueWidth);
    table->setWordWrap(false);
    QPalette yellow = table->palette();
    yellow.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xE1));
    table->setPalette(yellow);
    const QBrush header = table->palette().brush(QPalette::Button);
    for (int row = 0; row < rows; ++row) {
        table->setRowHeight(row, kRowHeight);
        cell(table, row, 0)->setBackground(header);
        cell(table, row, 1);
    }
    table->setFixedHeight(rows * kRowHeight + 2 * table->frameWidth());

    auto* copy = new QAction(table);
    copy->setObjectName(QStringLiteral("CopyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, table,
                     [table] { QApplication::clipboard()->setText(overviewText(table)); });
    table->addAction(copy);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    if (copyAction != nullptr) {
        *copyAction = copy;
    }
    return table;
}

void setOverviewLabels(QTableWidget* table, const std::function<QString(int)>& text, int first,
                       int last) {
    for (int row = 0; row < table->rowCount() && first + row <= last; ++row) {
        cell(table, row, 0)->setText(text(first + row));
    }
    table->clearSelection();
    table->setCurrentCell(-1, -1);
}

void setOverviewValue(QTableWidget* table, int row, const QString& value) {
    // Converter texts are padded with zero bytes: a cell shows a text up to
    // its first zero, so an empty text gives an empty cell.
    const qsizetype zero = value.indexOf(QChar(0));
    cell(table, row, 1)->setText(zero < 0 ? value : value.left(zero));
}

QString overviewText(const QTableWidget* table) {
    QString text;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* label = table->item(row, 0);
        const QTableWidgetItem* value = table->item(row, 1);
        text += (label != nullptr ? label->text() : QString()) + QLatin1Char('\t') +
                (value != nullptr ? value->text() : QString()) + QLatin1Char('\n');
    }
    return text;
}

QTimer* makePollingTimer(QObject* owner, int periodMs) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(periodMs);
    return timer;
}

void showTickStatus(QLabel* line, const QString& text) {
    if (line->text() != text) {
        showStatusLine(line, text);
    }
}

bool converterConnected(const TData* dat) {
    return dat != nullptr && dat->Init && Konvertor.Init;
}

void pollingTick(const TData* dat, QTimer* timer, int periodMs, TransferGuard& guard,
                 const std::function<void()>& notConnected, const std::function<void()>& work) {
    if (dat == nullptr) {
        return;
    }
    if (!converterConnected(dat)) {
        notConnected();
        return;
    }
    guard.run([&] {
        timer->setInterval(periodMs);
        timer->stop();
        work();
        timer->start();
    });
}

bool deferCloseAbortingTransfer(TransferGuard& guard, int result) {
    if (!guard.deferClose(result)) {
        return false;
    }
    TK7713T_Abort(Konvertor);
    return true;
}

bool saveWhole(QWidget* owner, const QString& path, const QString& failureText,
               const std::function<bool(QIODevice&)>& write) {
    QSaveFile file(path);
    // Nothing replaces the target until everything was written.
    const bool ok = file.open(QIODevice::WriteOnly) && write(file) && file.commit();
    if (!ok) {
        const QString reason = file.errorString();
        file.cancelWriting();
        if (const auto& show = desktopShell().showMessage) {
            show(owner, failureText + path + QStringLiteral("\n") + reason);
        }
    }
    return ok;
}

bool saveExport(QWidget* owner, const QString& caption, const QString& suggestedName,
                const QString& filter, const QString& failureText,
                const std::function<bool(QIODevice&)>& write) {
    const auto& choose = desktopShell().chooseSaveFile;
    const QString path = choose ? choose(owner, caption, suggestedName, filter) : QString();
    return !path.isEmpty() && saveWhole(owner, path, failureText, write);
}

} // namespace ui
