// The "Save Board Settings..." and "Load Board Settings..." menu items end
// to end: saved from one virtual board, loaded into another.

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>

#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "command_fixture.h"
#include "link/device_link.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

// Reads a board's registers through a link of its own.
RegisterSnapshot ReadBoard(const std::string& device) {
  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link(transport, sink);
  EXPECT_TRUE(link.OpenDevice(device));
  const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
  EXPECT_TRUE(read);
  return read ? read.value() : RegisterSnapshot{};
}

TEST(ProfileBetweenVirtualBoards, SavedFromOneAndLoadedIntoTheOtherThroughTheMenu) {
  constexpr int FROM_PORT = 4;
  constexpr int TO_PORT = 5;
  TempFolder folder;
  std::ofstream(folder.File("from.state")) << "f7 fc 05 ff 3f 00 1e 00 1b ff\n";
  BoardSim from(BoardSimSetup{{}, folder.File("from.state"), {}, true});
  BoardSim to;
  ASSERT_TRUE(from.ok() && to.ok());
  PosixSerialTransport transport;
  MainWindow window(AppPaths{"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")});
  window.UseTransport(transport, [&](int n) {
    if (n == FROM_PORT) return PortLookup{from.device(), {}};
    if (n == TO_PORT) return PortLookup{to.device(), {}};
    return PortLookup{{}, "no such port"};
  });
  Strings boxes;
  const MessageBoxHook previous = SetMessageBoxHook([&boxes](QMessageBox& box) {
    boxes.push_back(box.text().toStdString());
    if (box.button(QMessageBox::Cancel) != nullptr) box.button(QMessageBox::Ok)->click();
  });
  window.show();
  ModalWatchdog watchdog;
  const std::string path = folder.File("carried.vprof");
  {
    ChooserAnswer chooser(path);
    window.state().portNumber = FROM_PORT;
    window.RunCommand(ID_SAVE_PROFILE);
    window.state().portNumber = TO_PORT;
    window.RunCommand(ID_LOAD_PROFILE);
    EXPECT_EQ(chooser.modes.size(), 2u);
  }
  SetMessageBoxHook(previous);
  ASSERT_EQ(boxes.size(), 1u) << "only the confirmation";
  EXPECT_EQ(ReadBoard(to.device()), ReadBoard(from.device()));
  EXPECT_EQ(ReadBoard(to.device()).bytes[SNAPSHOT_CHANNEL], 0xFF);
  EXPECT_FALSE(watchdog.fired());
}

}  // namespace
}  // namespace vorna::test
