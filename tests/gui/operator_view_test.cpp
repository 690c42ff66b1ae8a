// What the operator meets around the jobs: a drop released before the image
// loads, message boxes with the dialog's title and a fitting icon, Enter,
// Qt's own texts in Chinese.

#include <QKeyEvent>
#include <QLineEdit>

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

}  // namespace
}  // namespace emberline::gui
