// What the operator meets around the jobs: a drop released before the image
// loads, message boxes with the dialog's title and a fitting icon, Enter,
// Qt's own texts in Chinese, and what to do when the chosen camera is missing.

#include <QKeyEvent>
#include <QLineEdit>

#include "gui/qt/device_messages.h"
#include "gui/qt/qt_translations.h"
#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using namespace testing;

TEST(GuiDrop, IsAcceptedAndReleasedBeforeTheImageLoads) {
  GuiRig rig;
  rig.open();
  sendDrop(*rig.dialog, {writeImage("odd.src", 131071)});
  // The program the file came from is free again before any box opens.
  EXPECT_TRUE(rig.watcher.seen.isEmpty());
  EXPECT_TRUE(rig.dialog->controlText(w::kCtlImagePath).isEmpty());
  ASSERT_TRUE(waitUntil([&] { return !rig.watcher.seen.isEmpty(); }));
  EXPECT_EQ(rig.watcher.seen, QStringList{"It is not a Rom file!"});  // under the dialog's own title
  EXPECT_TRUE(rig.dialog->controlText(w::kCtlImagePath).endsWith("odd.src"));
}

TEST(GuiMessages, CarryTheDialogsTitleAndAnIconThatFitsTheMessage) {
  GuiRig rig;
  rig.open();
  click(*rig.dialog, w::kCtlGo);  // no image
  ASSERT_TRUE(rig.idle());
  selectTab(*rig.dialog, 1);
  click(*rig.dialog, w::kCtlFwVersion);
  ASSERT_EQ(rig.watcher.seen.size(), 2);
  EXPECT_EQ(rig.watcher.seen[0], "No Source File!");
  EXPECT_TRUE(rig.watcher.seen[1].startsWith("Get F/W Version: QR5XA"));
  EXPECT_EQ(rig.watcher.icons, (QList<QMessageBox::Icon>{QMessageBox::Warning, QMessageBox::Information}));

  // A close during a successful burn shows the result as information.
  rig.watcher.seen.clear();
  rig.watcher.icons.clear();
  dropFiles(*rig.dialog, {writeImage("ok.src")});
  click(*rig.dialog, w::kCtlGo);
  rig.dialog->close();
  ASSERT_TRUE(waitUntil([&] { return !rig.dialog->isVisible(); }));
  EXPECT_EQ(rig.watcher.seen, QStringList{"Burn Successes!"});
  EXPECT_EQ(rig.watcher.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
}

TEST(GuiEnter, PressesTheFocusedButtonAndElsewhereEndsTheDialog) {
  GuiRig rig;
  rig.open();
  bool file_dialog = false;
  rig.watcher.on_file_dialog = [&](QFileDialog* files) {
    file_dialog = true;
    files->reject();
  };
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(rig.dialog->control(w::kCtlBrowse), &enter);
  EXPECT_TRUE(file_dialog);
  EXPECT_TRUE(rig.dialog->isVisible());

  QKeyEvent keypad_enter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
  QApplication::sendEvent(rig.dialog->control(w::kCtlImagePath), &keypad_enter);
  EXPECT_FALSE(rig.dialog->isVisible());
  EXPECT_EQ(rig.dialog->result(), QDialog::Accepted);
}

TEST(QtTranslations, ChineseGivesQtsOwnButtonsInChineseAndEnglishNeedsNone) {
  EXPECT_EQ(installQtTranslations(w::Language::English), nullptr);
  {
    const auto translator = installQtTranslations(w::Language::SimplifiedChinese);
    ASSERT_NE(translator, nullptr) << "Qt's translations are not installed";
    QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "确定");
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_NE(files.labelText(QFileDialog::Accept), "&Open");
  }
  QMessageBox box(QMessageBox::Information, "t", "x", QMessageBox::Ok);
  EXPECT_EQ(box.button(QMessageBox::Ok)->text().remove('&'), "OK");
}

TEST(DeviceSetupText, SaysWhatIsWrongAndWhatToDoWithoutTheCommandLine) {
  using Kind = frontend::DeviceSpec::Kind;
  frontend::DeviceSpec missing{Kind::Path, "/dev/emberline-no-such-video", 0, {}, {}};
  frontend::DeviceSpec not_camera{Kind::Path, std::filesystem::temp_directory_path().string(), 0, {}, {}};
  frontend::DeviceSpec index{Kind::Index, {}, 7, {}, {}};
  const struct {
    frontend::DeviceSpec wanted;
    w::Language language;
    std::vector<QString> words;
  } cases[] = {
      {missing, w::Language::English, {"/dev/emberline-no-such-video", "not connected", "USB cable"}},
      {missing, w::Language::SimplifiedChinese, {"/dev/emberline-no-such-video", "未连接", "USB 线"}},
      {index, w::Language::English, {"#7", "not connected", "USB cable"}},
      {not_camera, w::Language::English, {"is not a camera", "--device"}},
      {not_camera, w::Language::SimplifiedChinese, {"不是摄像头", "--device"}},
  };
  for (const auto& c : cases) {
    const QString text = deviceSetupText(c.wanted, "see 'emberline list'", c.language);
    for (const QString& word : c.words) EXPECT_TRUE(text.contains(word)) << text.toStdString();
    EXPECT_FALSE(text.contains("emberline list")) << text.toStdString();
  }
}

}  // namespace
}  // namespace emberline::gui
