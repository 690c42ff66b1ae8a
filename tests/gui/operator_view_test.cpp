// What the operator meets around the jobs: a drop released before the image
// loads, message boxes with the dialog's whole title, its icon and a fitting
// sign, the image's identity, the erase's question, a busy camera, Enter, and
// Qt's own texts in Chinese.

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "core/app/operator_texts.h"
#include "frontend/camera_claims.h"
#include "frontend/device_selection.h"
#include "platform/camera_lock.h"
#include "platform/process_name.h"
#include "gui/qt/qt_translations.h"
#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using namespace testing;

TEST(GuiDrop, IsAcceptedAndReleasedBeforeTheImageLoads) {
  GuiRig rig;
  rig.open();
  const auto odd = writeImage("odd.src", 131071);
  sendDrop(*rig.dialog, {odd});
  // The program the file came from is free again before any box opens.
  EXPECT_TRUE(rig.watcher.seen.isEmpty());
  ASSERT_TRUE(waitUntil([&] { return !rig.watcher.seen.isEmpty(); }));
  // Under the dialog's own title, what to do below the text, the file in the details.
  EXPECT_EQ(rig.watcher.seen, QStringList{"It is not a Rom file!\n\n" + advice(w::FailureKind::BadImage)});
  EXPECT_EQ(rig.watcher.details, QStringList{QString::fromStdString(odd.string())});
  // A refused file is never named as the image GO would burn.
  EXPECT_TRUE(rig.dialog->controlText(w::kCtlImagePath).isEmpty());
}

TEST(GuiMessages, CarryTheDialogsTitleWholeItsIconAndAnIconThatFitsTheMessage) {
  GuiRig rig;
  rig.open();
  click(*rig.dialog, w::kCtlGo);  // no image
  ASSERT_TRUE(rig.idle());
  selectTab(*rig.dialog, 1);
  click(*rig.dialog, w::kCtlFwVersion);
  ASSERT_TRUE(rig.idle());
  ASSERT_EQ(rig.watcher.seen.size(), 2);
  EXPECT_TRUE(rig.watcher.seen[0].startsWith("No Source File!\n\n"));
  EXPECT_TRUE(rig.watcher.seen[1].startsWith("Get F/W Version: QR5XA"));
  EXPECT_EQ(rig.watcher.icons, (QList<QMessageBox::Icon>{QMessageBox::Warning, QMessageBox::Information}));
  EXPECT_EQ(rig.watcher.whole_titles, (QList<bool>{true, true}));

  // A close during a successful burn shows the result as information.
  rig.watcher.seen.clear();
  rig.watcher.icons.clear();
  bool dialogs_icon = false;
  rig.watcher.on_message = [&](QMessageBox* box) {
    dialogs_icon = box->windowIcon().cacheKey() == rig.dialog->windowIcon().cacheKey();
    return true;
  };
  dropFiles(*rig.dialog, {writeImage("ok.src")});
  click(*rig.dialog, w::kCtlGo);
  rig.dialog->close();
  ASSERT_TRUE(waitUntil([&] { return !rig.dialog->isVisible(); }));
  EXPECT_EQ(rig.watcher.seen, QStringList{"Burn Successes!"});
  EXPECT_EQ(rig.watcher.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
  EXPECT_TRUE(dialogs_icon);
}

// What the operator sees of the image, the erase's question, a start without
// a camera and the file dialog's filters, in both languages.
class GuiOperator : public ::testing::TestWithParam<w::Language> {};

TEST_P(GuiOperator, SeesTheImageTheQuestionAndWhyNothingHappened) {
  const w::Language language = GetParam();
  const bool zh = language == w::Language::SimplifiedChinese;
  GuiRig rig(language);
  rig.open();
  QStringList filters;
  rig.watcher.on_file_dialog = [&](QFileDialog* files) {
    filters = files->nameFilters();
    files->selectFile(QString::fromStdString(writeImage("chosen.src").string()));
    static_cast<QDialog*>(files)->accept();
  };
  click(*rig.dialog, w::kCtlBrowse);
  EXPECT_EQ(filters.first(), zh ? "源文件(*.SRC)" : "Source File(*.SRC)");
  const auto* identity = qobject_cast<QLabel*>(rig.dialog->control(w::kCtlImageIdentity));
  ASSERT_NE(identity, nullptr);
  const QString shown = identity->text();
  EXPECT_EQ(shown, QString::fromStdString(rig.dialog->controller().control(w::kCtlImageIdentity).text));
  EXPECT_TRUE(shown.contains("\nSHA-256 ")) << shown.toStdString();
  dropFiles(*rig.dialog, {writeImage("too-long.src", w::kImageSize + 1)});
  EXPECT_EQ(identity->text(), shown);
  EXPECT_TRUE(rig.dialog->controlText(w::kCtlImagePath).endsWith("chosen.src"));

  // "Erase SF" asks, No being the default; No leaves the flash as it is.
  selectTab(*rig.dialog, 1);
  const auto before = rig.camera->flash();
  click(*rig.dialog, w::kCtlEraseSf);
  ASSERT_TRUE(rig.idle());
  EXPECT_EQ(rig.watcher.seen.last(), "? " + QString::fromStdString(app::eraseQuestion(language)));
  EXPECT_EQ(rig.watcher.default_no, QList<bool>{true});
  EXPECT_TRUE(rig.camera->flash() == before);
  rig.watcher.answer_yes = true;
  click(*rig.dialog, w::kCtlEraseSf);
  ASSERT_TRUE(rig.idle());
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), zh ? "擦除成功！" : "Flash Erase Successes!");

  // Without a camera the last result goes and the status line says why.
  rig.devices.setEnumerateError(-EIO);
  click(*rig.dialog, w::kCtlFwVersion);
  ASSERT_TRUE(rig.idle());
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), "Can't find video device!");
}

INSTANTIATE_TEST_SUITE_P(Languages, GuiOperator,
                         ::testing::Values(w::Language::English, w::Language::SimplifiedChinese));

// A camera another program drives: the dialog says who, in its language,
// and stays usable; once that program lets go, the burn works.
TEST(GuiCameraLock, ABusyCameraIsNamedAndTheDialogStaysUsable) {
  const struct {
    w::Language language;
    QString busy;
  } rows[] = {{w::Language::English, "Camera busy: used by process %1 (%2)"},
              {w::Language::SimplifiedChinese, "摄像头正忙：进程 %1（%2）正在使用它"}};
  for (const auto& row : rows) {
    const auto state = writeImage("locked.src").parent_path() / "locked.sim";
    ASSERT_EQ(sim::SimCamera().save(state), 0);
    std::string error;
    auto context = frontend::openDeviceContext(*frontend::parseDeviceSpec("sim:" + state.string(), &error), &error);
    ASSERT_TRUE(context) << error;
    frontend::ClaimingDeviceList devices(*context);
    auto other = platform::lockCamera(state.string(), true);  // as another emberline would hold it
    ASSERT_EQ(other.state, platform::LockAttempt::State::Taken);

    GuiRig rig(row.language);
    rig.dialog = std::make_unique<EmberlineDialog>(devices, row.language, std::function<std::string()>{},
                                                   StationOpener{}, [&devices] { return devices.claim(); });
    rig.open();
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QString name = QString::fromStdString(platform::processName(QCoreApplication::applicationPid()));
    ASSERT_EQ(rig.watcher.seen.size(), 1);
    EXPECT_EQ(rig.watcher.seen[0], row.busy.arg(pid, name) + "\n\n" + advice(w::FailureKind::CameraBusy, row.language));
    EXPECT_TRUE(rig.dialog->isVisible());

    other.lock.reset();
    dropFiles(*rig.dialog, {writeImage("locked.src")});
    click(*rig.dialog, w::kCtlGo);
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(rig.watcher.seen.size(), 1);
    EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), row.language == w::Language::English ? "Burn Successes!" : "烧录成功！");
  }
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
