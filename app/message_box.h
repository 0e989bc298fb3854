#pragma once
// The one kind of message box of the application: modal, owned by the main
// window, captioned with the application name, the message text, a single
// OK button and no icon. Every error report goes through it.

#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/message_sink.h"

class QMessageBox;
class QWidget;

namespace vorna {

// Called with each box once it is shown, in place of the user: a test reads
// the box and answers it. A box the hook leaves open is closed with OK, so
// nothing waits for a user who is not there.
using MessageBoxHook = std::function<void(QMessageBox& box)>;

// Installs `hook` (an empty one removes it) and returns the one it replaces.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Shows the box and returns when it has been closed. A non-empty `reason`
// is the box's secondary text, under `text`, which stays as given.
void ShowMessageBox(QWidget& owner, const QString& caption, const QString& text, const QString& reason = {});

// The same box with OK and Cancel, for a question; true for OK. The hook
// sees it like any other box.
bool AskOkCancel(QWidget& owner, const QString& caption, const QString& text);

// The same box with Yes and No, No being the default and Escape's: for a
// question whose Yes cannot be taken back. True for Yes.
bool AskYesNo(QWidget& owner, const QString& caption, const QString& text);

// The question for a hex file whose content check found problems, to ask
// with AskYesNo: "The hex file has problems:", the problem lines, then
// "Download anyway?".
QString HexProblemsQuestion(const std::vector<std::string>& problems);

// Reports of the core as message boxes, each line translated where a
// translation knows it (ShownLines in dialogs/shown_text.h): the fixed text,
// and under it the system's own explanation, the same the command-line tool prints in its
// verbose mode.
class MessageBoxSink final : public MessageSink {
 public:
  MessageBoxSink(QWidget& owner, QString caption);
  void Report(std::string_view text, std::string_view reason) override;

 private:
  QWidget& owner_;
  QString caption_;
};

}  // namespace vorna
