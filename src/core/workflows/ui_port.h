#pragma once

// What a workflow may do to the operator's screen, in the dialog's own terms:
// controls by id, the status line by string id, two progress bars and modal
// messages. The Qt dialog maps it one to one onto its widgets; the command
// line renders the same events in a terminal. Workflows never know which.

#include <string>

#include "core/workflows/failure.h"

namespace emberline::workflows {

// Control ids of the main dialog.
enum ControlId : int {
  kCtlBrowse = 1000,
  kCtlImagePath = 1001,
  kCtlGo = 1002,
  kCtlProgressData = 1003,
  kCtlProgressStage = 1004,
  kCtlEraseSf = 1005,
  kCtlRomExport = 1006,
  kCtlStageErase = 1007,
  kCtlStageEraseOk = 1008,
  kCtlStageBurn = 1009,
  kCtlStageBurnOk = 1010,
  kCtlStageVerify = 1011,
  kCtlStageVerifyOk = 1012,
  kCtlExportName = 1013,
  kCtlStatus = 1014,
  kCtlGetRomType = 1015,
  kCtlFwVersion = 1017,
  kCtlRename = 1024,
  kCtlTab = 1025,
  // Our own addition to the dialog: which image is loaded (version block and
  // SHA-256), under the path box.
  kCtlImageIdentity = 1026,
};

// String-table ids (res/strings.*).
enum StringId : int {
  kStrAbout = 101,
  kStrTabBurn = 102,
  kStrTabAuxiliary = 103,
  kStrNoTask = 104,
  kStrClickGo = 105,
  kStrBurning = 106,
  kStrBurnSucceeded = 107,
  kStrBurnFailed = 108,
  kStrErasing = 109,
  kStrEraseSucceeded = 110,
  kStrEraseFailed = 111,
  kStrExporting = 112,
  kStrExportSucceeded = 113,
  kStrExportFailed = 114,
};

class UiPort {
 public:
  virtual ~UiPort() = default;

  // Status line 1014 := string `string_id` of the current language (an id
  // that is not in the table gives an empty line).
  virtual void setStatus(int string_id) = 0;
  // Text of an edit control (1001 image path, 1013 export name), UTF-8.
  virtual void setControlText(int control_id, const std::string& text) = 0;
  virtual void showControl(int control_id, bool visible) = 0;
  virtual void enableControl(int control_id, bool enabled) = 0;
  // Progress bars 1003 and 1004.
  virtual void setProgressRange(int bar_id, int minimum, int maximum) = 0;
  virtual void setProgressPos(int bar_id, int position) = 0;
  // A modal message with an OK button; returns once the operator closed it.
  // `caption` empty means the application's own title.
  virtual void showMessage(const std::string& text, const std::string& caption = {}) = 0;
  // A workflow's failure, shown as a modal message like showMessage(text);
  // a face that can tell the operator what to do overrides it.
  virtual void showFailure(const Failure& failure) { showMessage(failure.text); }
};

// A port that ignores everything; a base for faces that care about a few events.
class NullUiPort : public UiPort {
 public:
  void setStatus(int) override {}
  void setControlText(int, const std::string&) override {}
  void showControl(int, bool) override {}
  void enableControl(int, bool) override {}
  void setProgressRange(int, int, int) override {}
  void setProgressPos(int, int) override {}
  void showMessage(const std::string&, const std::string&) override {}
};

}  // namespace emberline::workflows
