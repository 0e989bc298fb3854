#include "app/message_box.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <utility>

#include "dialogs/shown_text.h"

namespace vorna {
namespace {

constexpr char TEXT_HEX_PROBLEMS[] = QT_TRANSLATE_NOOP("vorna", "The hex file has problems:");
constexpr char TEXT_DOWNLOAD_ANYWAY[] = QT_TRANSLATE_NOOP("vorna", "Download anyway?");

MessageBoxHook& InstalledHook() {
  static MessageBoxHook hook;
  return hook;
}

// Runs the box, handing it to the hook once it is up; a box the hook left
// open is closed with OK. The secondary text, if any, is set before.
int ExecBox(QMessageBox& box) {
  box.setTextFormat(Qt::PlainText);
  // A screen reader says the box's name and description when it opens: the
  // caption alone would not tell what happened.
  const QString secondary = box.informativeText();
  box.setAccessibleDescription(secondary.isEmpty() ? box.text() : box.text() + QLatin1Char('\n') + secondary);
  // Reasons hold device paths and system texts, never markup.
  if (auto* reason = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
    reason->setTextFormat(Qt::PlainText);
  if (const MessageBoxHook hook = InstalledHook()) {
    QTimer::singleShot(0, &box, [&box, hook] {
      hook(box);
      if (box.isVisible()) box.done(QMessageBox::Ok);
    });
  }
  return box.exec();
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return std::exchange(InstalledHook(), std::move(hook)); }

void ShowMessageBox(QWidget& owner, const QString& caption, const QString& text, const QString& reason) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, &owner);
  box.setInformativeText(reason);
  ExecBox(box);
}

bool AskOkCancel(QWidget& owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, &owner);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  return ExecBox(box) == QMessageBox::Ok;
}

bool AskYesNo(QWidget& owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, &owner);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return ExecBox(box) == QMessageBox::Yes;
}

QString HexProblemsQuestion(const std::vector<std::string>& problems) {
  QString text = ShownText(TEXT_HEX_PROBLEMS);
  for (const std::string& line : problems) text += QLatin1Char('\n') + ShownLines(line);
  return text + QLatin1Char('\n') + ShownText(TEXT_DOWNLOAD_ANYWAY);
}

MessageBoxSink::MessageBoxSink(QWidget& owner, QString caption) : owner_(owner), caption_(std::move(caption)) {}

void MessageBoxSink::Report(std::string_view text, std::string_view reason) {
  ShowMessageBox(owner_, caption_, ShownLines(text), ShownLines(reason));
}

}  // namespace vorna
