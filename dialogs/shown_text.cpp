#include "dialogs/shown_text.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>

namespace vorna {
namespace {

// Texts that begin a line and are followed by a name or a path. The
// longer of two that start alike comes first.
constexpr const char* LEAD_INS[] = {
    QT_TRANSLATE_NOOP("vorna", "Can not open "),
    QT_TRANSLATE_NOOP("vorna", "Can not write "),
    // The main window's status while a command finds its port.
    QT_TRANSLATE_NOOP("vorna", "Reading the registers from "),
    QT_TRANSLATE_NOOP("vorna", "Writing the registers to "),
};

QString Translate(const QString& english) {
  return QCoreApplication::translate(SHOWN_TEXT_CONTEXT, english.toUtf8().constData());
}

// `text` with each run of digits as %1, %2, ... translated, the numbers put
// back; empty when it has no digits or no such translation.
QString TranslateNumbered(const QString& text) {
  static const QRegularExpression digits(QStringLiteral("[0-9]+"));
  QStringList numbers;
  QString pattern;
  qsizetype from = 0;
  for (QRegularExpressionMatchIterator it = digits.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    numbers.append(match.captured());
    pattern += text.mid(from, match.capturedStart() - from) + QLatin1Char('%') + QString::number(numbers.size());
    from = match.capturedEnd();
  }
  if (numbers.isEmpty()) return {};
  pattern += text.mid(from);
  QString translated = Translate(pattern);
  if (translated == pattern) return {};
  // Each arg() fills the lowest placeholder left, wherever the translation
  // put it.
  for (const QString& number : numbers) translated = translated.arg(number);
  return translated;
}

QString TranslateLine(const QString& line) {
  qsizetype start = 0;
  while (start < line.size() && line[start] == QLatin1Char(' ')) ++start;
  const QString indent = line.left(start);
  const QString text = line.mid(start);
  if (text.isEmpty()) return line;
  if (const QString whole = Translate(text); whole != text) return indent + whole;
  if (const QString numbered = TranslateNumbered(text); !numbered.isEmpty()) return indent + numbered;
  for (const char* leadIn : LEAD_INS) {
    const QString english = QString::fromLatin1(leadIn);
    if (text.startsWith(english)) return indent + Translate(english) + text.mid(english.size());
  }
  return line;
}

}  // namespace

QString ShownText(std::string_view english) {
  return Translate(QString::fromUtf8(english.data(), static_cast<qsizetype>(english.size())));
}

QString ShownLines(std::string_view english) {
  QStringList lines =
      QString::fromUtf8(english.data(), static_cast<qsizetype>(english.size())).split(QLatin1Char('\n'));
  for (QString& line : lines) {
    const bool carriageReturn = line.endsWith(QLatin1Char('\r'));
    if (carriageReturn) line.chop(1);
    line = TranslateLine(line);
    if (carriageReturn) line += QLatin1Char('\r');
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace vorna
