#include "app/message_box.h"

#include <QMessageBox>
#include <QTimer>

#include <utility>

namespace vorna {
namespace {

MessageBoxHook& InstalledHook() {
  static MessageBoxHook hook;
  return hook;
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return std::exchange(InstalledHook(), std::move(hook)); }

void ShowMessageBox(QWidget& owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, &owner);
  box.setTextFormat(Qt::PlainText);
  if (const MessageBoxHook hook = InstalledHook()) {
    QTimer::singleShot(0, &box, [&box, hook] {
      hook(box);
      if (box.isVisible()) box.done(QMessageBox::Ok);
    });
  }
  box.exec();
}

MessageBoxSink::MessageBoxSink(QWidget& owner, QString caption) : owner_(owner), caption_(std::move(caption)) {}

void MessageBoxSink::Report(std::string_view text, std::string_view) {
  ShowMessageBox(owner_, caption_, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace vorna
