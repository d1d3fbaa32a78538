#include "app/DateTimeFormat.h"

#include <QLocale>

namespace app {
namespace {

// The first character of a locale's short format that is not a format letter, a blank or a quote.
QChar SeparatorOf(const QString& format, QChar fallback) {
  for (QChar c : format) {
    if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\'')) return c;
  }
  return fallback;
}

QString TwoDigits(int value) {
  return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

}  // namespace

QChar DateSeparator() {
  static const QChar separator =
      SeparatorOf(QLocale::system().dateFormat(QLocale::ShortFormat), QLatin1Char('/'));
  return separator;
}

QChar TimeSeparator() {
  static const QChar separator =
      SeparatorOf(QLocale::system().timeFormat(QLocale::ShortFormat), QLatin1Char(':'));
  return separator;
}

QString FormatDateTime(const QString& format, const QDateTime& value) {
  const QDate date = value.date();
  const QTime time = value.time();
  QString out;
  for (qsizetype i = 0; i < format.size();) {
    const QStringView rest = QStringView(format).mid(i);
    if (rest.startsWith(QLatin1String("yyyy"))) {
      out += QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
      i += 4;
    } else if (rest.startsWith(QLatin1String("mm"))) {
      out += TwoDigits(date.month());
      i += 2;
    } else if (rest.startsWith(QLatin1String("dd"))) {
      out += TwoDigits(date.day());
      i += 2;
    } else if (rest.startsWith(QLatin1String("hh"))) {
      out += TwoDigits(time.hour());
      i += 2;
    } else if (rest.startsWith(QLatin1String("nn"))) {
      out += TwoDigits(time.minute());
      i += 2;
    } else if (rest.startsWith(QLatin1String("ss"))) {
      out += TwoDigits(time.second());
      i += 2;
    } else if (format[i] == QLatin1Char('/')) {
      out += DateSeparator();
      ++i;
    } else if (format[i] == QLatin1Char(':')) {
      out += TimeSeparator();
      ++i;
    } else {
      out += format[i];
      ++i;
    }
  }
  return out;
}

}  // namespace app
