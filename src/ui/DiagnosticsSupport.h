// Pieces the two diagnostics windows share: the read-only two-column
// overview table with its Copy command, the connection check of a tick,
// closing while a tick's transfer runs, and saving exports whole or not at all.
#pragma once

#include <QString>
#include <functional>

#include "app/Dekl.h"
#include "ui/WindowSupport.h"

class QAction;
class QDialog;
class QIODevice;
class QLabel;
class QTableWidget;
class QTimer;
class QWidget;

namespace ui {

// Two columns, `rows` rows 21 pixels high, read-only, pale tooltip-yellow,
// no headers or scroll bars; column 0 shows labels in header style. The
// table never scrolls, however wide its value column, and Tab leaves it
// for the next control. The context menu (and Ctrl+C) offers the returned
// Copy command, which puts the table on the clipboard as tab-separated lines.
QTableWidget* makeOverviewTable(QWidget* parent, const char* objectName, int rows, int labelWidth,
                                int valueWidth, QAction** copyAction);
// Column 0 from the texts of ids first ... last; no cell selected.
void setOverviewLabels(QTableWidget* table, const std::function<QString(int)>& text, int first,
                       int last);
// Shows the value up to its first zero character.
void setOverviewValue(QTableWidget* table, int row, const QString& value);
// "label<TAB>value" per row, each line ended by a newline.
QString overviewText(const QTableWidget* table);

// The window's repeating timer "Timer1", started by the caller. It is a
// precise timer: a coarse one may fire some 5 % early, and a read must not
// start before a full period has passed since the last one ended.
QTimer* makePollingTimer(QObject* owner, int periodMs);

// A tick's status: shown and repainted at once like any status text, but
// only when it changed, so a window polling every 10 ms neither repaints nor
// makes a screen reader announce the same text again and again.
void showTickStatus(QLabel* line, const QString& text);

// True when both the program and the converter object hold a connection.
bool converterConnected(const TData* dat);

// One timer tick of a polling window. Without a connection only
// `notConnected` runs, and the timer goes on as it is. Otherwise the timer
// gets `periodMs` and stops while `work` transfers, so no tick starts inside
// another while the link pumps events, and the next comes one full period
// after this one ended.
void pollingTick(const TData* dat, QTimer* timer, int periodMs, TransferGuard& guard,
                 const std::function<void()>& notConnected, const std::function<void()>& work);

// For a diagnostics window's done(): while a tick's transfer runs, the close
// is held back and the transfer aborted, so the tick returns at once and the
// window closes then. False when nothing runs and the close may go on.
bool deferCloseAbortingTransfer(TransferGuard& guard, int result);

// Asks the operator for a file to save to (through the desktop shell) and
// writes it through `write` so that it appears whole or not at all. On
// failure the operator gets `failureText`, the file's name and the reason.
// False when nothing was saved, the operator's cancel included.
bool saveExport(QWidget* owner, const QString& caption, const QString& suggestedName,
                const QString& filter, const QString& failureText,
                const std::function<bool(QIODevice&)>& write);
// The writing part alone, to a given path.
bool saveWhole(QWidget* owner, const QString& path, const QString& failureText,
               const std::function<bool(QIODevice&)>& write);

} // namespace ui
