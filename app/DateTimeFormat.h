#pragma once

#include <QDateTime>
#include <QString>

namespace app {

// Formats a local date and time with the program's format codes: "yyyy" year, "mm" month, "dd" day,
// "hh" hour 00 to 23, "nn" minute, "ss" second; "/" and ":" stand for the system's date and time
// separators; any other character is copied.
QString FormatDateTime(const QString& format, const QDateTime& value);

// The separators of the system's locale ("/" and ":" when the locale has none of its own).
QChar DateSeparator();
QChar TimeSeparator();

}  // namespace app
