#pragma once

// A UiPort in front of another one that keeps what the workflow showed
// (status texts, messages, stage labels, edit-control texts) so that the
// command can report it, in JSON or in its summary.

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"

namespace emberline::cli {

class RecordingUiPort final : public workflows::UiPort {
 public:
  RecordingUiPort(workflows::UiPort& inner, workflows::Language language);

  void setStatus(int string_id) override;
  void setControlText(int control_id, const std::string& text) override;
  void showControl(int control_id, bool visible) override;
  void enableControl(int control_id, bool enabled) override;
  void setProgressRange(int bar_id, int minimum, int maximum) override;
  void setProgressPos(int bar_id, int position) override;
  void showMessage(const std::string& text, const std::string& caption) override;

  const std::vector<std::string>& messages() const { return messages_; }
  const std::vector<int>& statuses() const { return statuses_; }
  // Stage labels (1007-1012) shown so far, in order, as their texts.
  const std::vector<std::string>& stages() const { return stages_; }
  int stagePosition() const { return stage_position_; }
  std::string controlText(int control_id) const;

  // {"status": [...], "messages": [...], "stages": [...]} for the JSON report.
  nlohmann::ordered_json toJson() const;

 private:
  workflows::UiPort& inner_;
  workflows::Language language_;
  std::vector<std::string> messages_;
  std::vector<int> statuses_;
  std::vector<std::string> stages_;
  std::map<int, std::string> control_texts_;
  int stage_position_ = 0;
};

}  // namespace emberline::cli
