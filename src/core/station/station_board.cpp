#include "core/station/station_board.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

#include "core/station/image_identity.h"
#include "core/workflows/camera_session.h"

namespace emberline::station {

namespace {

using workflows::Language;

// The labels of a record's stage names, as the dialog names the stages.
std::string stageLabel(const std::string& name) {
  static const std::map<std::string, std::string> kLabels = {
      {"connect", "Connecting"},      {"version-before", "Reading the version"},
      {"erase-check", "Erase and Check"}, {"program", "Burning"},
      {"verify", "Verify"},           {"version-after", "Reading the version"},
      {"erase", "Erasing"},
  };
  const auto it = kLabels.find(name);
  return it == kLabels.end() ? name : it->second;
}

// The stage an attempt ended in: the last before the camera's state was saved.
std::string lastStage(const AttemptRecord& record) {
  for (auto it = record.stages.rbegin(); it != record.stages.rend(); ++it)
    if (it->name != "save") return stageLabel(it->name);
  return stageLabel("connect");
}

std::string imageIdentity(const JobSettings& settings, Language language) {
  std::vector<std::uint8_t> image;
  const auto loaded = workflows::readSourceImage(settings.image, image);
  const std::string label = stationText(language, StationText::Image) + (language == Language::SimplifiedChinese ? "：" : ": ");
  if (loaded != workflows::LoadResult::Loaded)
    return label + settings.image.string() + ": " + workflows::loadFailureText(loaded);
  return label + identifyImage(image).line();
}

}  // namespace

// One "Start All": its station, and what carries the station's events here.
struct StationBoard::Run {
  std::size_t id = 0;
  std::unique_ptr<Relay> relay;
  std::unique_ptr<Station> station;  // goes first: its jobs report to the relay
};

struct StationBoard::Camera {
  JobTarget target;
  std::shared_ptr<std::atomic<bool>> unplugged;
  std::size_t plug_in = 0;  // which plug-in of this device the row shows
};

// On the jobs' threads: copies each event and hands it to the face's thread.
class StationBoard::Relay final : public StationObserver {
 public:
  Relay(StationBoard& board, std::size_t run) : board_(&board), run_(run), alive_(board.alive_) {}
  void onEvent(const JobEvent& event) override {
    std::optional<AttemptRecord> record;
    if (event.record != nullptr) record = *event.record;
    JobEvent copy = event;
    copy.record = nullptr;
    board_->hooks_.post([board = board_, run = run_, alive = std::weak_ptr<bool>(alive_), copy = std::move(copy),
                         record = std::move(record)] {
      if (alive.lock()) board->apply(run, copy, record);
    });
  }

 private:
  StationBoard* board_;
  std::size_t run_;
  std::weak_ptr<bool> alive_;
};

StationBoard::StationBoard(JobSettings settings, Language language, Hooks hooks)
    : settings_(std::move(settings)), language_(language), hooks_(std::move(hooks)) {
  identity_ = imageIdentity(settings_, language_);
}

StationBoard::~StationBoard() {
  alive_.reset();
  for (auto& run : runs_) run->station->requestStop();
  runs_.clear();
}

std::string StationBoard::title() const {
  return stationText(language_, StationText::Title) + " - " + settings_.image.filename().string();
}

std::string StationBoard::identity() const { return identity_; }

std::string StationBoard::header(BoardColumn column) const {
  static constexpr std::array<StationText, kColumns> kHeaders{StationText::Device, StationText::Port,
                                                              StationText::ChipId, StationText::Stage,
                                                              StationText::Progress, StationText::Result,
                                                              StationText::Time};
  return stationText(language_, kHeaders[column]);
}

BoardRow* StationBoard::find(const std::string& device) {
  const auto it = std::find_if(rows_.begin(), rows_.end(), [&](const BoardRow& r) { return r.device == device; });
  return it == rows_.end() ? nullptr : &*it;
}

const BoardRow* StationBoard::row(const std::string& device) const {
  return const_cast<StationBoard*>(this)->find(device);
}

void StationBoard::remove(const std::string& device) {
  const BoardRow* gone = find(device);
  if (gone == nullptr) return;
  // The camera still counts, as it stood when it went.
  if (gone->state == RowState::Passed) ++gone_passed_;
  if (gone->state == RowState::Failed) ++gone_failed_;
  rows_.erase(rows_.begin() + (gone - rows_.data()));
  cameras_.erase(device);
}

void StationBoard::plugged(const std::string& device) {
  BoardRow* existing = find(device);
  if (existing != nullptr && !existing->unplugged) return;
  auto flag = std::make_shared<std::atomic<bool>>(false);
  std::optional<JobTarget> target = hooks_.target ? hooks_.target(device, flag) : std::nullopt;
  if (!target) return;
  std::size_t plug_in = 0;
  if (existing != nullptr) {
    // Plugged in again: the row waits for the camera's next attempt.
    plug_in = cameras_[device].plug_in + 1;
    *existing = BoardRow{};
  } else {
    rows_.emplace_back();
    existing = &rows_.back();
  }
  BoardRow& row = *existing;
  row.device = device;
  row.device_text = device;
  row.port = target->port;
  row.result = stationText(language_, StationText::Ready);
  cameras_[device] = Camera{std::move(*target), std::move(flag), plug_in};
  changed();
}

void StationBoard::markUnplugged(BoardRow& row) {
  row.unplugged = true;
  row.device_text = row.device + (language_ == Language::SimplifiedChinese
                                      ? "（" + stationText(language_, StationText::Unplugged) + "）"
                                      : " (" + stationText(language_, StationText::Unplugged) + ")");
}

void StationBoard::unplugged(const std::string& device) {
  BoardRow* row = find(device);
  if (row == nullptr) return;
  cameras_[device].unplugged->store(true);
  // A camera that failed keeps its row and reason; one that is running
  // fails as unplugged and then keeps it too.
  if (row->state == RowState::Failed || row->state == RowState::Running) {
    markUnplugged(*row);
  } else {
    remove(device);
  }
  changed();
}

void StationBoard::startAll() {
  if (runs_.empty() || runs_.back()->station->stopping()) {
    auto run = std::make_unique<Run>();
    run->id = next_run_++;
    run->relay = std::make_unique<Relay>(*this, run->id);
    run->station = std::make_unique<Station>(settings_, *run->relay);
    runs_.push_back(std::move(run));
  }
  stopping_ = false;
  Run& current = *runs_.back();
  for (BoardRow& row : rows_) {
    if (row.state != RowState::Waiting || row.unplugged) continue;
    const Camera& camera = cameras_[row.device];
    const std::size_t job = current.station->start(camera.target);
    if (job == std::numeric_limits<std::size_t>::max()) break;
    jobs_[{current.id, job}] = {row.device, camera.plug_in};
    row.state = RowState::Running;
    row.percent = 0;
    row.stage.clear();
    row.result.clear();
    row.result_tooltip.clear();
    row.time.clear();
  }
  changed();
}

void StationBoard::stop() {
  if (runs_.empty()) return;
  runs_.back()->station->requestStop();
  stopping_ = true;
  changed();
}

void StationBoard::clear() {
  std::vector<std::string> gone;
  for (const BoardRow& row : rows_)
    if (row.unplugged && row.state != RowState::Running) gone.push_back(row.device);
  for (const std::string& device : gone) remove(device);
  changed();
}

void StationBoard::apply(std::size_t run, const JobEvent& event, const std::optional<AttemptRecord>& record) {
  if (event.kind == JobEvent::Kind::Finished) ++attempts_;
  const auto job = jobs_.find({run, event.job});
  BoardRow* row = job == jobs_.end() ? nullptr : find(job->second.first);
  // An event of an earlier plug-in of the same device has no row any more.
  if (row != nullptr && cameras_[row->device].plug_in != job->second.second) row = nullptr;
  if (row != nullptr) {
    using Kind = JobEvent::Kind;
    switch (event.kind) {
      case Kind::Started:
      case Kind::Message:
        break;
      case Kind::ChipId: {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(event.chip_id.value_or(0)));
        row->chip_id = text;
        break;
      }
      case Kind::Stage:
        if (event.stage == "save") break;
        row->stage = stageText(language_, event.text);
        row->percent = 0;
        break;
      case Kind::Progress:
        row->percent = event.percent;
        break;
      case Kind::Finished:
        if (record) finish(*row, *record);
        break;
    }
  }
  if (event.kind == JobEvent::Kind::Finished) {
    if (job != jobs_.end()) jobs_.erase(job);
    letEndedRunsGo();
  }
  changed();
}

void StationBoard::finish(BoardRow& row, const AttemptRecord& record) {
  const bool passed = record.result == JobResult::Passed;
  row.state = passed ? RowState::Passed : RowState::Failed;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", std::chrono::duration<double>(record.end - record.start).count());
  row.time = seconds;
  if (passed) {
    row.percent = 100;
    row.stage = stationText(language_, StationText::Done);
    row.result = resultText(language_, record.result);
    // Taken away while it finished: it passed, its row goes like any other.
    if (row.unplugged) remove(row.device);
    return;
  }
  row.stage = failedStageText(language_, lastStage(record));
  const std::string advice(workflows::operatorAdvice(record.failure_kind, language_));
  row.result = resultText(language_, record.result) + (language_ == Language::SimplifiedChinese ? "：" : ": ") +
               (advice.empty() ? record.error : advice);
  row.result_tooltip = record.error + (advice.empty() ? std::string() : "\n" + advice);
}

void StationBoard::letEndedRunsGo() {
  // Earlier runs whose jobs have all ended are let go (their threads are done).
  for (std::size_t i = 0; i + 1 < runs_.size();) {
    if (runs_[i]->station->tally().running == 0) {
      runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

BoardTotals StationBoard::totals() const {
  BoardTotals t;
  t.passed = gone_passed_;
  t.failed = gone_failed_;
  bool greyed = false;
  for (const BoardRow& row : rows_) {
    switch (row.state) {
      case RowState::Waiting: t.waiting += row.unplugged ? 0 : 1; break;
      case RowState::Running: ++t.running; break;
      case RowState::Passed: ++t.passed; break;
      case RowState::Failed: ++t.failed; break;
    }
    greyed = greyed || (row.unplugged && row.state != RowState::Running);
  }
  t.attempts = attempts_;
  t.stopping = stopping_ && t.running > 0;
  t.text = totalsText(language_, t.passed, t.failed, t.running, t.waiting, t.attempts);
  if (t.stopping) t.text += "    " + stationText(language_, StationText::Stopping);
  t.can_start = t.waiting > 0;
  t.can_stop = t.running > 0 && !stopping_;
  t.can_clear = greyed;
  return t;
}

void StationBoard::changed() {
  if (hooks_.changed) hooks_.changed();
}

}  // namespace emberline::station
