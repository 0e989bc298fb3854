// The board commands run on the main window's worker thread, against the
// in-memory board: what the user sees (dialogs, boxes, status texts) comes
// on the GUI thread in the order it always did, the board only on the
// worker. The download against the paced virtual board is in
// commands_worker_posix_test.cpp.

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "command_fixture.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/quick_setting_dialog.h"
#include "link/transport.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

bool OnGuiThreadNow() { return QThread::currentThread() == qApp->thread(); }

// Passes every call on to `board`, noting the thread it came from.
class ThreadNotingTransport final : public Transport {
 public:
  ThreadNotingTransport(Transport& board, std::function<void(const std::string&)> note)
      : board_(board), note_(std::move(note)) {}
  bool Open(const std::string& device) override {
    Note("open");
    return board_.Open(device);
  }
  void Close() override {
    Note(board_.IsOpen() ? "close" : "");
    board_.Close();
  }
  bool IsOpen() const override { return board_.IsOpen(); }
  bool Write(std::span<const std::uint8_t> bytes) override {
    Note({});
    return board_.Write(bytes);
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    Note({});
    return board_.Read(buffer);
  }
  std::string LastError() const override { return board_.LastError(); }

  // Notes the calling thread of a call that is not the transport's own
  // (the port resolver's).
  void NoteThread() { Note({}); }

  // Calls made on the GUI thread.
  int onGuiThread = 0;
  // The threads the calls came from.
  std::vector<std::thread::id> threads;

 private:
  void Note(const std::string& what) {
    if (OnGuiThreadNow()) ++onGuiThread;
    if (std::find(threads.begin(), threads.end(), std::this_thread::get_id()) == threads.end())
      threads.push_back(std::this_thread::get_id());
    if (!what.empty()) note_(what);
  }
  Transport& board_;
  std::function<void(const std::string&)> note_;
};

// One command through the worker, against the in-memory board: the order
// of everything the user and the board see.
struct OrderRow {
  const char* name;
  int commandId;
  int allowedOpens;
  std::vector<std::string> events;
};

void PrintTo(const OrderRow& row, std::ostream* os) { *os << row.name; }

class WorkerOrder : public CommandTest, public ::testing::WithParamInterface<OrderRow> {
 protected:
  // From the worker (the board) and the GUI thread (the rest), never at
  // the same time; the lock says so to the reader as well.
  void Note(const std::string& event) {
    const std::lock_guard<std::mutex> lock(eventsLock_);
    events.push_back(event);
  }
  std::vector<std::string> events;
  std::atomic<int> guiCallsOffThread = 0;

 private:
  std::mutex eventsLock_;
};

TEST_P(WorkerOrder, BoardOnTheWorkerWindowsOnTheGuiThreadInOrder) {
  const OrderRow& row = GetParam();
  ThreadNotingTransport transport(board, [this](const std::string& what) { Note(what); });
  int opens = 0;
  window.UseTransport(transport, [&transport, &opens, &row](int n) {
    transport.NoteThread();
    return ++opens > row.allowedOpens ? PortLookup{{}, "no such port"}
                                      : PortLookup{"/dev/fake" + std::to_string(n), {}};
  });
  SetMessageBoxHook([this](QMessageBox& box) {
    if (!OnGuiThreadNow()) ++guiCallsOffThread;
    Note("box: " + box.text().toStdString());
  });
  QObject::connect(&window.statusPane(), &QPlainTextEdit::textChanged, &window, [this] {
    if (!OnGuiThreadNow()) ++guiCallsOffThread;
    Note("status");
  });
  auto answer = [this](QDialog& dialog, QPushButton& ok) {
    if (!OnGuiThreadNow()) ++guiCallsOffThread;
    Note("dialog");
    // The worker waits for the dialog; the main window is blocked by it
    // and comes back afterwards.
    EXPECT_TRUE(window.commandRunning());
    // A second command asked for meanwhile is ignored: no second dialog,
    // no board traffic of its own.
    window.RunCommand(GetParam().commandId);
    QTest::mouseClick(&ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
  };
  DialogAnswerer<QuickSettingDialog> quick([&answer](QuickSettingDialog& d) { answer(d, d.okButton()); });
  DialogAnswerer<AdvancedSettingDialog> advanced([&answer](AdvancedSettingDialog& d) { answer(d, d.okButton()); });

  window.RunCommand(row.commandId);
  EXPECT_FALSE(window.commandRunning());
  EXPECT_EQ(events, row.events);
  EXPECT_EQ(guiCallsOffThread, 0);
  EXPECT_EQ(transport.onGuiThread, 0);
  ASSERT_EQ(transport.threads.size(), 1u);
  EXPECT_NE(transport.threads[0], std::this_thread::get_id());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, WorkerOrder,
    ::testing::Values(
        // The pane says what runs once the port is found, and gets its text
        // back while the dialog waits.
        OrderRow{"QuickWritten",
                 ID_QUICK_SETTING,
                 2,
                 {"status", "open", "close", "status", "dialog", "status", "open", "close"}},
        OrderRow{"QuickBoardGoneAfterTheDialog",
                 ID_QUICK_SETTING,
                 1,
                 {"status", "open", "close", "status", "dialog", "status", "box: Can not open COM1"}},
        OrderRow{"QuickNoBoard", ID_QUICK_SETTING, 0, {"box: Can not open COM1"}},
        OrderRow{"AdvancedWritten",
                 ID_ADVANCED_SETTING,
                 2,
                 {"status", "open", "close", "status", "dialog", "status", "open", "close", "status"}},
        OrderRow{"AdvancedBoardGoneAfterTheDialog",
                 ID_ADVANCED_SETTING,
                 1,
                 {"status", "open", "close", "status", "dialog", "box: Can not open COM1", "status"}}),
    [](const auto& info) { return std::string(info.param.name); });

// An exception from a command (here its port resolver, on the worker
// thread) ends in a box with its reason, and the window goes on.
TEST_F(CommandTest, AnExceptionInACommandShowsABoxAndTheWindowGoesOn) {
  const MessageBoxHook fixtureHook = SetMessageBoxHook(
      [this](QMessageBox& box) { boxes.push_back((box.text() + "|" + box.informativeText()).toStdString()); });
  window.UseTransport(board, [](int) -> PortLookup { throw std::runtime_error("resolver broke"); });
  window.RunCommand(ID_QUICK_SETTING);
  SetMessageBoxHook(fixtureHook);
  EXPECT_EQ(boxes, Strings{std::string(TEXT_UNEXPECTED_ERROR) + "|resolver broke"});
  EXPECT_FALSE(window.commandRunning());
}

}  // namespace
}  // namespace vorna::test
