// Helpers every window shares: the program's name and icon, the frame of a
// fixed-size dialog, how texts become QStrings, the windows' font, the
// baud-rate and word lists, labels tied to their inputs, the status line, a
// pause that keeps the window responsive, and the guard that keeps one
// window's transfers from overlapping.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "app/Dekl.h"

class QComboBox;
class QDialog;
class QLabel;
class QWidget;

namespace ui {

// What the whole program shares, set once after the QApplication is made:
// its name, shown in the task bar, and its icon, which every window shows
// in its title bar.
void setUpApplication();
// The program's icon: the package's w-tk7713t.svg, built into the program
// and drawn at the usual icon sizes.
QIcon programIcon();

// The frame of a dialog whose size never changes: a title bar with a close
// button and no maximise button, whatever the platform's default for
// dialogs (some window managers offer maximise unless told).
void useFixedSizeFrame(QDialog* dialog);

// A text from a text table, or typed by the operator: UTF-8.
QString tableText(const std::string& utf8);
// A text decoded from the converter: one character per byte, 0-255.
QString converterText(const std::string& bytes);
// A field's text as the workflow layer takes it: UTF-8.
std::string toUtf8(const QString& text);

// Tahoma at a size in pixels.
QFont windowFont(int pixelSize, bool bold = false);

// Replaces the list's items by the fixed baud-rate items "2400 Bd" ..
// "115200 Bd" (the same in every language).
void fillBaudList(QComboBox* list);

// Replaces the list's items by the given texts; nothing selected afterwards.
void fillList(QComboBox* list, std::initializer_list<QString> items);

// Selects a list position; a position outside the list (-1 included)
// selects no entry, so a value without an entry is never shown as another.
void selectListPosition(QComboBox* list, std::int32_t position);

// Ties a caption label to the control it names: an input takes the
// caption as its accessible name (screen readers read it), and the label's
// mnemonic, if any, moves the focus there. A label that shows a changing
// value (a status line) keeps that value as its name, since it is what a
// screen reader must read; the caption becomes its description and stays
// tied to it as its Label relation.
void labelFor(QLabel* label, QWidget* input);
// Does the same for every captioned control of the window; called whenever
// the labels take their texts.
void nameInputsAfterLabels(QWidget* window);

// The status line at the bottom of a window: one sunken panel of text.
QLabel* makeStatusLine(QWidget* parent, const char* objectName);
// Puts a text into a status line and repaints it at once, before anything
// else happens: a blocking transfer may follow.
void showStatusLine(QLabel* line, const QString& text);

// Waits the given time while the window keeps processing its events; the
// wait sleeps in the event loop, it never spins.
void pauseProcessingEvents(std::uint32_t milliseconds);

// A window's transfers block their handler while the link pumps events, so
// a second button press or a close can arrive in the middle of one. The
// guard refuses a second transfer and holds a close back until the running
// transfer has returned.
class TransferGuard {
  public:
    explicit TransferGuard(QDialog* dialog) : dialog_(dialog) {}
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;

    bool running() const { return running_; }

    // Runs work unless a transfer already runs (then returns false). A close
    // asked for while work ran is carried out after it.
    bool run(const std::function<void()>& work);

    // A button that talks to the converter: nothing without Dat or while a
    // transfer runs; without a connection only " " + "Connection not
    // initialized" in the status line; else work, guarded as run().
    void runConnected(PData Dat, std::int32_t lang, QLabel* statusLine,
                      const std::function<void()>& work);

    // For the dialog's done(): true when a transfer runs, and the close with
    // this result is to happen once it returns.
    bool deferClose(int result);

  private:
    QDialog* dialog_;
    bool running_ = false;
    bool closeRequested_ = false;
    int closeResult_ = 0;
};

} // namespace ui
