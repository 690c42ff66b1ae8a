#include "core/app/main_dialog.h"

#include <algorithm>
#include <cstdint>

#include "core/app/operator_texts.h"
#include "core/device/clock.h"
#include "core/workflows/camera_session.h"

namespace emberline::app {

namespace w = workflows;

// The workflows' view of the dialog. Every call may come from a worker; it is
// carried onto the UI thread and returns once the dialog has taken it, but
// for a worker's progress positions, which are posted and shown later.
class CEmberline_testDlg::Port final : public w::UiPort {
 public:
  explicit Port(CEmberline_testDlg& dialog) : dialog_(dialog) {}

  void setStatus(int string_id) override {
    ui([&] { dialog_.setText(w::kCtlStatus, dialog_.statusText(string_id)); });
  }
  void setControlText(int control_id, const std::string& text) override {
    ui([&] { dialog_.setText(control_id, text); });
  }
  void showControl(int control_id, bool visible) override {
    ui([&] { dialog_.show(control_id, visible); });
  }
  void enableControl(int control_id, bool enabled) override {
    ui([&] { dialog_.enable(control_id, enabled); });
  }
  void setProgressRange(int bar_id, int minimum, int maximum) override {
    ui([&] { dialog_.setRange(bar_id, minimum, maximum); });
  }
  void setProgressPos(int bar_id, int position) override {
    if (dialog_.isUiThread()) {
      dialog_.showPostedProgress();
      dialog_.setPosition(bar_id, position);
    } else {
      dialog_.progress_.post(bar_id, position);
    }
  }
  // The workflows' plain boxes report failures; a titled one (the firmware
  // version) only informs.
  void showMessage(const std::string& text, const std::string& caption) override {
    ui([&] { dialog_.message(text, caption, caption.empty() ? MessageIcon::Warning : MessageIcon::Information); });
  }
  void showFailure(const w::Failure& failure) override {
    ui([&] { dialog_.failureMessage(failure); });
  }

 private:
  template <typename F>
  void ui(F&& fn) {
    dialog_.onUiThread(std::function<void()>(std::forward<F>(fn)));
  }
  CEmberline_testDlg& dialog_;
};

CEmberline_testDlg::CEmberline_testDlg(device::DeviceList& devices, DialogView& view,
                                       WorkerLauncher& workers, DialogOptions options)
    : devices_(devices),
      view_(view),
      workers_(workers),
      options_(std::move(options)),
      port_(std::make_unique<Port>(*this)) {
  device::Clock& clock = options_.clock ? *options_.clock : device::systemClock();
  session_ = std::make_unique<w::CameraSession>(devices_, *port_, clock);
  if (options_.chip_text_decoder) session_->setNarrowTextDecoder(options_.chip_text_decoder);
  // The controls as the template creates them.
  for (const ControlTemplate& t : mainDialogControls()) {
    ControlState state;
    state.visible = !t.has(kStyleHidden);
    state.enabled = !t.has(kStyleDisabled);
    state.text = std::string(t.caption(options_.language));
    controls_.emplace(t.id, std::move(state));
  }
}

CEmberline_testDlg::~CEmberline_testDlg() { OnDestroy(); }

w::UiPort& CEmberline_testDlg::port() { return *port_; }

std::string CEmberline_testDlg::loadString(int string_id) const {
  return std::string(w::loadString(options_.language, string_id));
}

const ControlState& CEmberline_testDlg::control(int id) const {
  static const ControlState kNone{false, false, {}, 0, 0, 0};
  const auto it = controls_.find(id);
  return it == controls_.end() ? kNone : it->second;
}

void CEmberline_testDlg::OnInitDialog() {
  // The About item goes after the window's own commands, ours included.
  if (options_.station_window) view_.addSystemMenuItem(kIdmStation, stationMenuText(options_.language));
  const std::string about = loadString(w::kStrAbout);
  if (!about.empty()) view_.addSystemMenuItem(kIdmAboutBox, about);
  view_.setDialogIcon();

  // The session allocated the image buffer filled with 0xFF.
  m_nImageSize = static_cast<int>(w::kImageSize);

  view_.insertTab(0, loadString(w::kStrTabBurn));
  view_.insertTab(1, loadString(w::kStrTabAuxiliary));
  current_tab_ = 0;
  view_.selectTab(0);

  for (int id : {w::kCtlEraseSf, w::kCtlRomExport, w::kCtlExportName, w::kCtlFwVersion,
                 w::kCtlProgressStage, w::kCtlStageErase, w::kCtlStageEraseOk, w::kCtlStageBurn,
                 w::kCtlStageBurnOk, w::kCtlStageVerify, w::kCtlStageVerifyOk})
    show(id, false);
  setText(w::kCtlStatus, loadString(w::kStrNoTask));

  // Finding the camera and reading its chip id talk to the camera: on the
  // worker, like every other camera operation.
  findCameraAtStart();
}

long CEmberline_testDlg::OnTcnSelchangeTab(int selected) {
  if (selected == 0) {
    current_tab_ = 0;
    for (int id : kBurnPageControls) show(id, true);
    for (int id : kAuxiliaryRow) show(id, false);
    showStageRowOfTheBurn();
  } else if (selected == 1) {
    current_tab_ = 1;
    for (int id : kBurnPageControls) show(id, false);
    // "Erase SF" first, then the export row and "F/W Version" beside it.
    for (int id : kAuxiliaryRow) show(id, true);
    // Off the screen only: the burn's stages come back with the Burn page.
    for (int id : {w::kCtlStageErase, w::kCtlStageBurn, w::kCtlStageVerify, w::kCtlStageEraseOk,
                   w::kCtlStageBurnOk, w::kCtlStageVerifyOk, w::kCtlProgressStage})
      render(id, false);
  }
  return 0;
}

bool CEmberline_testDlg::OnSysCommand(unsigned id) {
  switch (id & 0xFFF0u) {
    case kIdmAboutBox:
      view_.showAbout();
      return true;
    case kIdmStation:
      if (!options_.station_window) return false;
      openStationWindow();
      return true;
    default:
      return false;
  }
}

void CEmberline_testDlg::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // The worker uses the session and reports to this dialog: both stay until
  // it has ended. The session's device objects go on the worker's thread,
  // where they were made.
  workers_.join();
  workers_.start([this] { session_.reset(); });
  workers_.join();
}

bool CEmberline_testDlg::requestClose(int result) {
  if (!busy()) return true;
  if (!close_pending_) {
    close_pending_ = result;
    setStatusLine(control(w::kCtlStatus).text);
  }
  return false;
}

std::string CEmberline_testDlg::statusText(int string_id) const {
  return withCloseNote(loadString(string_id));
}

std::string CEmberline_testDlg::withCloseNote(const std::string& text) const {
  if (!close_pending_) return text;
  const std::string note = closeWaitNote(options_.language);
  return text.empty() ? note : text + "\n" + note;
}

std::string CEmberline_testDlg::withoutCloseNote(const std::string& text) const {
  const std::string note = closeWaitNote(options_.language);
  if (text == note) return {};
  const auto at = text.rfind("\n" + note);
  return at == std::string::npos ? text : text.substr(0, at);
}

void CEmberline_testDlg::showBurnPage() {
  current_tab_ = 0;
  view_.selectTab(0);
  for (int id : kBurnPageControls) show(id, true);
  for (int id : kAuxiliaryRow) show(id, false);
  showStageRowOfTheBurn();
}

void CEmberline_testDlg::showStageRowOfTheBurn() {
  for (int id : kStageRow)
    if (stage_row_shown_.count(id) != 0) render(id, true);
}

void CEmberline_testDlg::hideStageRow() {
  for (int id : kStageRow) show(id, false);
}

void CEmberline_testDlg::show(int id, bool visible) {
  if (std::find(kStageRow.begin(), kStageRow.end(), id) != kStageRow.end()) {
    if (visible) {
      stage_row_shown_.insert(id);
    } else {
      stage_row_shown_.erase(id);
    }
    visible = visible && current_tab_ == 0;
  }
  render(id, visible);
}

void CEmberline_testDlg::render(int id, bool visible) {
  const auto it = controls_.find(id);
  if (it == controls_.end()) return;
  it->second.visible = visible;
  view_.setControlVisible(id, visible);
}

void CEmberline_testDlg::enable(int id, bool enabled) {
  const auto it = controls_.find(id);
  if (it == controls_.end()) return;
  it->second.enabled = enabled;
  view_.setControlEnabled(id, enabled);
}

void CEmberline_testDlg::setText(int id, const std::string& text) {
  const auto it = controls_.find(id);
  if (it == controls_.end()) return;
  it->second.text = text;
  view_.setControlText(id, text);
}

// Progress bars hold their position inside the range, as the native control
// does: a workflow may set positions past the end (the burn's programming
// stage does) and the bar then stays full.
void CEmberline_testDlg::setRange(int id, int minimum, int maximum) {
  const auto it = controls_.find(id);
  if (it == controls_.end() || minimum > maximum) return;
  ControlState& bar = it->second;
  bar.minimum = minimum;
  bar.maximum = maximum;
  bar.position = std::clamp(bar.position, minimum, maximum);
  view_.setProgress(id, bar.minimum, bar.maximum, bar.position);
}

void CEmberline_testDlg::setPosition(int id, int position) {
  const auto it = controls_.find(id);
  if (it == controls_.end()) return;
  ControlState& bar = it->second;
  bar.position = std::clamp(position, bar.minimum, bar.maximum);
  view_.setProgress(id, bar.minimum, bar.maximum, bar.position);
}

void CEmberline_testDlg::message(std::string_view text, std::string_view caption, MessageIcon icon,
                                 const std::string& details) {
  view_.showMessage(std::string(text), std::string(caption), icon, details);
}

void CEmberline_testDlg::failureMessage(const w::Failure& failure) {
  std::string text = failure.text;
  const std::string_view advice = w::operatorAdvice(failure.kind, options_.language);
  if (!advice.empty()) text += "\n\n" + std::string(advice);
  message(text, {}, MessageIcon::Warning, failure.detail);
}

void CEmberline_testDlg::setStatusLine(const std::string& text) { setText(w::kCtlStatus, withCloseNote(text)); }

void CEmberline_testDlg::onUiThread(const std::function<void()>& fn) {
  if (!isUiThread()) blocking_ui_calls_.fetch_add(1, std::memory_order_relaxed);
  view_.runOnUiThread([&] {
    showPostedProgress();
    fn();
  });
}

void CEmberline_testDlg::showPostedProgress() {
  for (const ProgressMailbox::Position& p : progress_.take()) setPosition(p.bar_id, p.position);
}

void CEmberline_testDlg::persistDevice() {
  if (!options_.persist) return;
  const std::string error = options_.persist();
  if (!error.empty()) port_->showMessage(error, {});
}

}  // namespace emberline::app
