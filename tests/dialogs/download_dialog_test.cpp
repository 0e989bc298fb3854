#include "dialogs/download_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/gui_test_support.h"
#include "dialog_checks.h"
#include "dialogs/dialog_units.h"

namespace vorna {
namespace {

using test::ExecWith;
using test::Items;
using test::ModalWatchdog;
using test::Strings;
using test::TempFolder;
using test::WhenModalOpens;

// Answers the file chooser in place of the user, and records who asked.
struct ScriptedChooser {
  std::optional<QString> answer;
  std::vector<QWidget*> owners;
  QStringList currentPaths;

  HexFileChooser Chooser() {
    return [this](QWidget& owner, const QString& currentPath) {
      owners.push_back(&owner);
      currentPaths.push_back(currentPath);
      return answer;
    };
  }
};

class DownloadDialogTest : public ::testing::Test {
 protected:
  static void Type(DownloadDialog& dialog, const QString& text) {
    dialog.pathBox().clear();
    QTest::keyClicks(&dialog.pathBox(), text);
  }

  // Runs `dialog`, lets `act` work in it, then presses OK.
  static int RunAndOk(DownloadDialog& dialog, const std::function<void()>& act) {
    return ExecWith(dialog, [&dialog, act] {
      act();
      QTest::mouseClick(&dialog.okButton(), Qt::LeftButton);
    });
  }

  QWidget owner;
  ScriptedChooser chooser;
  ModalWatchdog watchdog;
};

TEST_F(DownloadDialogTest, OpensWithThePathAndHasNoCloseBox) {
  DownloadDialog dialog(owner, QStringLiteral("/work/blink.hex"), chooser.Chooser());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Download user program"));
  EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowTitleHint));
  EXPECT_EQ(dialog.pathBox().text(), QStringLiteral("/work/blink.hex"));

  DownloadDialog empty(owner, QString(), chooser.Chooser());
  EXPECT_TRUE(empty.pathBox().text().isEmpty());
}

TEST_F(DownloadDialogTest, OkHandsBackTheBoxTextEvenEmpty) {
  for (const QString& typed : {QStringLiteral("/home/me/prog.hex"), QStringLiteral(" spaced name.HXF "), QString()}) {
    DownloadDialog dialog(owner, QStringLiteral("/work/old.hex"), chooser.Chooser());
    EXPECT_EQ(RunAndOk(dialog, [&] { Type(dialog, typed); }), QDialog::Accepted);
    EXPECT_EQ(dialog.pathText(), typed);
  }
  EXPECT_TRUE(chooser.owners.empty());
}

TEST_F(DownloadDialogTest, ChosenFileReplacesTheTypedPath) {
  chooser.answer = QStringLiteral("/home/me/projects/prog.hex");
  DownloadDialog dialog(owner, QString(), chooser.Chooser());
  RunAndOk(dialog, [&] {
    Type(dialog, QStringLiteral("typed.hex"));
    QTest::mouseClick(&dialog.browseButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.pathBox().text(), QStringLiteral("/home/me/projects/prog.hex"));
  });
  EXPECT_EQ(dialog.pathText(), QStringLiteral("/home/me/projects/prog.hex"));
  ASSERT_EQ(chooser.owners.size(), 1u);
  EXPECT_EQ(chooser.owners[0], &dialog);
  // The chooser starts from what the box holds now, not from the opening path.
  EXPECT_EQ(chooser.currentPaths, QStringList{QStringLiteral("typed.hex")});
}

TEST_F(DownloadDialogTest, CancelledChoiceKeepsTheTypedPath) {
  DownloadDialog dialog(owner, QStringLiteral("/work/old.hex"), chooser.Chooser());
  RunAndOk(dialog, [&] {
    Type(dialog, QStringLiteral("/work/typed.hex"));
    QTest::mouseClick(&dialog.browseButton(), Qt::LeftButton);
  });
  EXPECT_EQ(chooser.owners.size(), 1u);
  EXPECT_EQ(dialog.pathText(), QStringLiteral("/work/typed.hex"));
}

TEST_F(DownloadDialogTest, CancelLeavesThePathTextAsItWasSet) {
  DownloadDialog dialog(owner, QStringLiteral("/work/old.hex"), chooser.Chooser());
  const int result = ExecWith(dialog, [&] {
    Type(dialog, QStringLiteral("/work/typed.hex"));
    QTest::keyClick(&dialog.pathBox(), Qt::Key_Escape);
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(dialog.pathText(), QStringLiteral("/work/old.hex"));
}

TEST_F(DownloadDialogTest, EnterInThePathBoxPressesOk) {
  DownloadDialog dialog(owner, QStringLiteral("/work/old.hex"), chooser.Chooser());
  EXPECT_EQ(ExecWith(dialog, [&] { QTest::keyClick(&dialog.pathBox(), Qt::Key_Return); }), QDialog::Accepted);
  EXPECT_EQ(dialog.pathText(), QStringLiteral("/work/old.hex"));
}

TEST_F(DownloadDialogTest, LaidOutFromTheTemplate) {
  DownloadDialog dialog(owner, QStringLiteral("/work/blink.hex"), chooser.Chooser());
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  EXPECT_EQ(dialog.size(), units.ToPixels(187, 75));
  EXPECT_EQ(dialog.pathBox().geometry(), units.ToPixels({8, 21, 140, 14}));
  EXPECT_EQ(dialog.browseButton().geometry(), units.ToPixels({155, 21, 25, 14}));
  EXPECT_EQ(dialog.browseButton().text(), QStringLiteral("..."));
  EXPECT_EQ(dialog.okButton().geometry(), units.ToPixels({37, 54, 50, 14}));
  EXPECT_EQ(dialog.cancelButton().geometry(), units.ToPixels({101, 54, 50, 14}));
  EXPECT_TRUE(dialog.okButton().isDefault());
  const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels[0]->text(), QStringLiteral("&File Name"));
  EXPECT_EQ(labels[0]->pos(), units.ToPixels({9, 9, 31, 8}).topLeft());
  test::ExpectTidyLayout(dialog);
}

TEST_F(DownloadDialogTest, FocusStartsInThePathBoxAndTabFollowsTheTemplate) {
  DownloadDialog dialog(owner, QString(), chooser.Chooser());
  dialog.show();
  EXPECT_EQ(dialog.focusWidget(), &dialog.pathBox());
  EXPECT_EQ(test::TabOrder(dialog.pathBox()),
            (std::vector<const QWidget*>{&dialog.pathBox(), &dialog.browseButton(), &dialog.okButton(),
                                         &dialog.cancelButton()}));
}

// --- The real file chooser -------------------------------------------------

TEST(HexFileDialogTest, OffersTheEntriesWithTheFirstSelected) {
  QFileDialog chooser;
  SetUpHexFileDialog(chooser);
  EXPECT_EQ(chooser.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(chooser.defaultSuffix(), QStringLiteral("hex"));
  EXPECT_EQ(chooser.nameFilters(),
            (QStringList{QString::fromLatin1(HEX_FILE_FILTER), QString::fromLatin1(ALL_FILES_FILTER),
                         QString::fromLatin1(SRECORD_FILE_FILTER)}));
  // What the user reads in the type list.
  auto* types = chooser.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(Items(*types),
            (Strings{"Hex File (*.hxf;*.hex)", "All Files", "S-Record File (*.s19 *.s28 *.s37 *.srec *.mot)"}));
  EXPECT_EQ(types->currentIndex(), 0);
}

// Where the chooser opens for each text of the file name box: the folder of
// the path when it exists, else where a chooser opens without a path (the
// folder it showed last).
TEST(HexFileDialogTest, OpensInTheFolderOfTheCurrentPath) {
  TempFolder folder;
  const QString inFolder = QString::fromStdString(folder.File("prog.hex"));
  const QString folderPath = QFileInfo(inFolder).absolutePath();
  const QString unchanged;  // where a chooser without a path opens
  const struct {
    QString path;
    QString opensIn;
  } cases[] = {
      {inFolder, folderPath},                                             // a file that does not exist yet
      {folderPath + QStringLiteral("/"), folderPath},                     // the folder itself
      {QString::fromStdString(folder.File("gone/prog.hex")), unchanged},  // a folder that does not exist
      {QStringLiteral("prog.hex"), QDir::currentPath()},                  // relative: the working folder
      {QString(), unchanged},                                             // nothing typed
  };
  for (const auto& c : cases) {
    QString before;
    {
      QFileDialog plain;
      SetUpHexFileDialog(plain);
      before = plain.directory().absolutePath();
    }
    QFileDialog chooser;
    SetUpHexFileDialog(chooser, c.path);
    EXPECT_EQ(chooser.directory().absolutePath(), c.opensIn.isNull() ? before : QDir(c.opensIn).absolutePath())
        << c.path.toStdString();
  }
}

// The names the chooser lists in its folder, once it has read the folder.
Strings ListedNames(QFileDialog& chooser, int expectedCount) {
  auto* view = chooser.findChild<QAbstractItemView*>(QStringLiteral("listView"));
  if (view == nullptr) return {};
  if (!QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == expectedCount; }, 5000)) {
    ADD_FAILURE() << "the chooser did not list " << expectedCount << " files";
  }
  Strings names;
  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
    names.push_back(view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(HexFileDialogTest, BrowseListsHexFilesOfEitherCaseAndHandsBackTheFullPath) {
  TempFolder folder;
  for (const char* name : {"a.hex", "B.HEX", "c.hxf", "D.HXF", "notes.txt"})
    std::ofstream(folder.File(name)) << ":00000001FF\n";
  const QString folderPath = QString::fromStdString(folder.File(""));
  QWidget owner;
  DownloadDialog dialog(owner, QStringLiteral("typed.hex"));
  ModalWatchdog watchdog;
  Strings hexListed;
  Strings allListed;
  QWidget* chooserOwner = nullptr;
  ExecWith(dialog, [&] {
    WhenModalOpens([&](QWidget& modal) {
      auto* chooser = qobject_cast<QFileDialog*>(&modal);
      ASSERT_NE(chooser, nullptr);
      chooserOwner = chooser->parentWidget();
      chooser->setDirectory(folderPath);
      hexListed = ListedNames(*chooser, 4);
      chooser->selectNameFilter(QString::fromLatin1(ALL_FILES_FILTER));
      allListed = ListedNames(*chooser, 5);
      // A name typed without an extension gets the default one.
      auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(name, nullptr);
      name->clear();
      QTest::keyClicks(name, QStringLiteral("prog"));
      static_cast<QDialog*>(chooser)->accept();
    });
    dialog.BrowseForHexFile();
    QTest::mouseClick(&dialog.okButton(), Qt::LeftButton);
  });
  EXPECT_FALSE(watchdog.fired());
  EXPECT_EQ(chooserOwner, &dialog);
  EXPECT_EQ(hexListed, (Strings{"B.HEX", "D.HXF", "a.hex", "c.hxf"}));
  EXPECT_EQ(allListed, (Strings{"B.HEX", "D.HXF", "a.hex", "c.hxf", "notes.txt"}));
  EXPECT_EQ(dialog.pathText(), QDir::toNativeSeparators(QDir(folderPath).filePath(QStringLiteral("prog.hex"))));
}

TEST(HexFileDialogTest, CancelledBrowseKeepsTheText) {
  QWidget owner;
  DownloadDialog dialog(owner, QStringLiteral("typed.hex"));
  ModalWatchdog watchdog;
  ExecWith(dialog, [&] {
    WhenModalOpens([](QWidget& modal) { qobject_cast<QDialog*>(&modal)->reject(); });
    dialog.BrowseForHexFile();
    QTest::mouseClick(&dialog.okButton(), Qt::LeftButton);
  });
  EXPECT_FALSE(watchdog.fired());
  EXPECT_EQ(dialog.pathText(), QStringLiteral("typed.hex"));
}

TEST(HexFileDialogTest, ListsSRecordFilesOfEitherCase) {
  TempFolder folder;
  for (const char* name : {"a.s19", "b.S28", "c.s37", "d.SREC", "e.mot", "f.hex"})
    std::ofstream(folder.File(name)) << "S9030000FC\n";
  QWidget owner;
  ModalWatchdog watchdog;
  Strings listed;
  QFileDialog chooser(&owner);
  SetUpHexFileDialog(chooser, QString::fromStdString(folder.File("f.hex")));
  ExecWith(chooser, [&] {
    chooser.selectNameFilter(QString::fromLatin1(SRECORD_FILE_FILTER));
    listed = ListedNames(chooser, 5);
    chooser.reject();
  });
  EXPECT_FALSE(watchdog.fired());
  EXPECT_EQ(listed, (Strings{"a.s19", "b.S28", "c.s37", "d.SREC", "e.mot"}));
}

}  // namespace
}  // namespace vorna
