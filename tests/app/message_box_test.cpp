#include "app/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/settings/app_paths.h"
#include "gui_test_support.h"

namespace vorna {
namespace {

using test::TempFolder;

struct SeenBox {
  QString caption;
  QString text;
  QWidget* parent;
  bool modal;
  QMessageBox::Icon icon;
  Qt::TextFormat format;
  QStringList buttons;
  QString reason;
  // The format of the label that shows the reason; PlainText when none.
  Qt::TextFormat reasonFormat;
};

// Records every box, then answers it with OK as a user would.
class BoxRecorder {
 public:
  BoxRecorder()
      : previous_(SetMessageBoxHook([this](QMessageBox& box) {
          QStringList buttons;
          for (QAbstractButton* button : box.buttons()) buttons << button->text();
          const auto* reasonLabel = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
          seen.push_back({box.windowTitle(), box.text(), box.parentWidget(), box.isModal(), box.icon(),
                          box.textFormat(), buttons, box.informativeText(),
                          reasonLabel != nullptr ? reasonLabel->textFormat() : Qt::PlainText});
          box.button(QMessageBox::Ok)->click();
        })) {}
  ~BoxRecorder() { SetMessageBoxHook(previous_); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  std::vector<SeenBox> seen;

 private:
  MessageBoxHook previous_;
};

TEST(MessageBoxTest, CoreReportsBecomeBoxesCaptionedWithTheApplicationName) {
  TempFolder folder;
  MainWindow window({"other", folder.File("other.ini"), folder.File("VORNAHLP.html")});
  BoxRecorder recorder;
  window.messages().Report("Can not open COM3", "no such device; tried /dev/ttyACM2");
  window.messages().Report("Read error", "");

  ASSERT_EQ(recorder.seen.size(), 2u);
  EXPECT_EQ(recorder.seen[0].caption, QStringLiteral("other"));
  EXPECT_EQ(recorder.seen[0].text, QStringLiteral("Can not open COM3"));
  EXPECT_EQ(recorder.seen[0].parent, &window);
  EXPECT_TRUE(recorder.seen[0].modal);
  EXPECT_EQ(recorder.seen[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(recorder.seen[0].format, Qt::PlainText);
  EXPECT_EQ(recorder.seen[0].buttons, QStringList{QStringLiteral("OK")});
  EXPECT_EQ(recorder.seen[1].text, QStringLiteral("Read error"));
  EXPECT_EQ(recorder.seen[1].caption, QStringLiteral("other"));
}

// The reason goes under the text as the box's secondary text, as it is:
// never read as markup, and no secondary text at all when there is none.
TEST(MessageBoxTest, ReasonIsTheSecondaryTextInPlainText) {
  TempFolder folder;
  MainWindow window({"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")});
  BoxRecorder recorder;
  window.messages().Report("Can not open COM3", "/dev/<b>x</b>: open: no such device");
  window.messages().Report("Read error", "");

  ASSERT_EQ(recorder.seen.size(), 2u);
  EXPECT_EQ(recorder.seen[0].text, QStringLiteral("Can not open COM3"));
  EXPECT_EQ(recorder.seen[0].reason, QStringLiteral("/dev/<b>x</b>: open: no such device"));
  EXPECT_EQ(recorder.seen[0].reasonFormat, Qt::PlainText);
  EXPECT_EQ(recorder.seen[1].text, QStringLiteral("Read error"));
  EXPECT_EQ(recorder.seen[1].reason, QString());
}

TEST(MessageBoxTest, ReportReturnsOnlyAfterTheBoxIsClosed) {
  TempFolder folder;
  MainWindow window({"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")});
  std::vector<std::string> order;
  const MessageBoxHook previous = SetMessageBoxHook([&order](QMessageBox& box) {
    order.push_back("shown " + box.text().toStdString());
    box.accept();
  });
  window.messages().Report("Write error", "");
  order.push_back("returned");
  SetMessageBoxHook(previous);
  EXPECT_EQ(order, (std::vector<std::string>{"shown Write error", "returned"}));
}

TEST(MessageBoxTest, BoxLeftOpenByTheHookIsClosed) {
  TempFolder folder;
  MainWindow window({"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")});
  int shown = 0;
  const MessageBoxHook previous = SetMessageBoxHook([&shown](QMessageBox&) { ++shown; });
  window.messages().Report("ReadData error", "");
  SetMessageBoxHook(previous);
  EXPECT_EQ(shown, 1);
}

// The running program's caption comes from its own file name.
TEST(MessageBoxTest, ApplicationNameIsTheExecutableFileName) {
  const AppPaths paths = ResolveAppPaths(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
  EXPECT_EQ(paths.applicationName, "app_tests");
}

}  // namespace
}  // namespace vorna
