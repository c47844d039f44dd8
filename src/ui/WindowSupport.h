// Helpers every window shares: how texts become QStrings, the windows' font,
// the baud-rate list and a pause that keeps the window responsive.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <string>

class QComboBox;

namespace ui {

// A text from a text table, or typed by the operator: UTF-8.
QString tableText(const std::string& utf8);
// A text decoded from the converter: one character per byte, 0-255.
QString converterText(const std::string& bytes);

// Tahoma at a size in pixels.
QFont windowFont(int pixelSize, bool bold = false);

// Replaces the list's items by the fixed baud-rate items "2400 Bd" ..
// "115200 Bd" (the same in every language).
void fillBaudList(QComboBox* list);

// Waits the given time while the window keeps processing its events; the
// wait sleeps in the event loop, it never spins.
void pauseProcessingEvents(std::uint32_t milliseconds);

}  // namespace ui
