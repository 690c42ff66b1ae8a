// One QApplication for the whole suite, on the offscreen platform unless the
// caller chose another; and the fixture's helpers.

#include <QAbstractButton>
#include <QDialog>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>

#include <fstream>

#include "gui_fixture.h"

namespace emberline::gui::testing {

namespace {

class QtEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "gui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

ModalWatcher::ModalWatcher() {
  connect(&timer_, &QTimer::timeout, this, &ModalWatcher::poll);
  timer_.start(5);
}

void ModalWatcher::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    if (recorded_.insert(box).second) {
      const QWidget* owner = box->parentWidget();
      const bool own_caption = owner && box->windowTitle() == owner->window()->windowTitle();
      seen << (own_caption ? box->text() : box->windowTitle() + QStringLiteral(": ") + box->text());
    }
    if (on_message && !on_message(box)) return;
    recorded_.erase(box);
    box->button(QMessageBox::Ok)->click();
  } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
    seen << QStringLiteral("QFileDialog");
    if (on_file_dialog)
      on_file_dialog(files);
    else
      files->reject();
  } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
    seen << QString::fromLatin1(dialog->metaObject()->className());
    if (on_dialog) on_dialog(dialog);
    dialog->accept();
  }
}

bool waitUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() > timeout_ms) loop.quit();
  });
  poll.start(5);
  if (!done()) loop.exec();
  QCoreApplication::processEvents();
  return done();
}

TempFolder::TempFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("emberline-gui-") + info->test_suite_name() + "-" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path writeImage(const std::filesystem::path& path, std::size_t size) {
  std::vector<std::uint8_t> image(size, 0xFF);
  for (std::size_t i = 0; i < size; ++i)
    image[i] = i < 4 ? static_cast<std::uint8_t>("QR5X"[i])
                     : (i < 0x14000 ? static_cast<std::uint8_t>(i * 31 + (i >> 10)) : 0xFF);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
  return path;
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void dropFiles(QWidget& target, const std::vector<std::filesystem::path>& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
  mime.setUrls(urls);
  const QPointF where(target.width() / 2.0, target.height() / 2.0);
  QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &drop);
}

std::set<int> visibleControls(const EmberlineDialog& dialog) {
  std::set<int> ids;
  for (const app::ControlTemplate& c : app::mainDialogControls())
    if (dialog.control(c.id)->isVisibleTo(&dialog)) ids.insert(c.id);
  return ids;
}

GuiRig::GuiRig(w::Language language, bool with_camera) {
  if (with_camera) devices.add(camera);
  dialog = std::make_unique<EmberlineDialog>(devices, language);
}

GuiRig::~GuiRig() { dialog.reset(); }

}  // namespace emberline::gui::testing
