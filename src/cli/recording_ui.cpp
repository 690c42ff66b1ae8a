#include "cli/recording_ui.h"

#include "cli/stage_labels.h"

namespace emberline::cli {

RecordingUiPort::RecordingUiPort(workflows::UiPort& inner, workflows::Language language)
    : inner_(inner), language_(language) {}

void RecordingUiPort::setStatus(int string_id) {
  statuses_.push_back(string_id);
  inner_.setStatus(string_id);
}

void RecordingUiPort::setControlText(int control_id, const std::string& text) {
  control_texts_[control_id] = text;
  inner_.setControlText(control_id, text);
}

void RecordingUiPort::showControl(int control_id, bool visible) {
  if (visible) {
    const auto label = stageLabel(control_id, language_);
    if (!label.empty()) {
      // "OK!" alone says nothing in a list; name the stage it closes.
      stages_.push_back(isStageDone(control_id) ? std::string(stageLabel(control_id - 1, language_)) + ": OK!"
                                                : std::string(label));
    }
  }
  inner_.showControl(control_id, visible);
}

void RecordingUiPort::enableControl(int control_id, bool enabled) {
  inner_.enableControl(control_id, enabled);
}

void RecordingUiPort::setProgressRange(int bar_id, int minimum, int maximum) {
  inner_.setProgressRange(bar_id, minimum, maximum);
}

void RecordingUiPort::setProgressPos(int bar_id, int position) {
  if (bar_id == workflows::kCtlProgressStage) stage_position_ = position;
  inner_.setProgressPos(bar_id, position);
}

void RecordingUiPort::showMessage(const std::string& text, const std::string& caption) {
  messages_.push_back(text);
  inner_.showMessage(text, caption);
}

std::string RecordingUiPort::controlText(int control_id) const {
  const auto it = control_texts_.find(control_id);
  return it == control_texts_.end() ? std::string{} : it->second;
}

nlohmann::ordered_json RecordingUiPort::toJson() const {
  nlohmann::ordered_json status = nlohmann::ordered_json::array();
  for (int id : statuses_) status.push_back(std::string(workflows::loadString(language_, id)));
  nlohmann::ordered_json out;
  out["status"] = std::move(status);
  out["messages"] = messages_;
  out["stages"] = stages_;
  return out;
}

}  // namespace emberline::cli
