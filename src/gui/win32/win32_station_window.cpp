#include "gui/win32/win32_station_window.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

#include "core/app/worker_launcher.h"
#include "core/station/station_board.h"
#include "core/station/station_texts.h"
#include "frontend/station_inputs.h"
#include "frontend/station_targets.h"
#include "gui/win32/ui_call.h"
#include "platform/machine_hold.h"
#include "platform/text_windows.h"
#include "platform/win32/machine_hold_windows.h"
#include "platform/windows_handles.h"

namespace emberline::gui::win32 {

namespace {

using platform::wideFromUtf8;
using station::BoardRow;
using station::RowState;

constexpr auto kPoll = std::chrono::milliseconds(200);
constexpr int kIconId = 128;
// Column widths in dialog units; the result takes what the others leave.
constexpr int kColumnWidths[station::kColumns] = {90, 60, 34, 80, 56, 0, 36};
constexpr int kWidestNameColumn = 110;  // device and port give up the rest to the result

// The frame of a dialog with no controls: they are made in WM_INITDIALOG,
// their texts come from the board. The dialog font as the operator's dialog
// has it (it sets the dialog units).
std::vector<WORD> frameTemplate(bool owned) {
  DLGTEMPLATE frame{};
  frame.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_SETFONT |
                DS_MODALFRAME | DS_CENTER;
  frame.dwExtendedStyle = owned ? 0 : WS_EX_APPWINDOW;
  frame.cx = 560;
  frame.cy = 180;
  std::vector<WORD> words(sizeof frame / sizeof(WORD));
  std::memcpy(words.data(), &frame, sizeof frame);
  words.insert(words.end(), {0, 0, 0, 8});  // no menu, the dialog class, no title; 8 points
  for (const wchar_t c : std::wstring_view(L"MS Shell Dlg")) words.push_back(static_cast<WORD>(c));
  words.push_back(0);
  return words;
}

COLORREF textColour(const BoardRow& row, int column) {
  if (row.unplugged) return GetSysColor(COLOR_GRAYTEXT);
  const bool reason = column == station::kColumnStage || column == station::kColumnResult;
  if (row.state == RowState::Failed && reason) return RGB(192, 0, 0);
  if (row.state == RowState::Passed && column == station::kColumnResult) return RGB(0, 128, 0);
  return GetSysColor(COLOR_WINDOWTEXT);
}

std::string progressText(const BoardRow& row) { return std::to_string(row.percent) + " %"; }

const std::string& cellText(const BoardRow& row, int column, std::string& scratch) {
  switch (column) {
    case station::kColumnDevice: return row.device_text;
    case station::kColumnPort: return row.port;
    case station::kColumnChip: return row.chip_id;
    case station::kColumnStage: return row.stage;
    case station::kColumnProgress: return scratch = progressText(row);
    case station::kColumnResult: return row.result;
    default: return row.time;
  }
}

class StationWindow {
 public:
  StationWindow(HINSTANCE module, StationWindowSettings settings) : module_(module), settings_(std::move(settings)) {}

  // Opens the source and the record file on the watcher's thread; the reason
  // when they cannot be.
  std::string open() {
    std::promise<std::string> opened;
    watcher_.start([this, &opened] {
      frontend::StationInputs in =
          frontend::openStationInputs(settings_.image, settings_.record, settings_.source);
      source_ = std::move(in.source);
      log_ = std::move(in.log);
      opened.set_value(source_ ? std::string() : in.error);
    });
    return opened.get_future().get();
  }

  int run(HWND owner) {
    const std::vector<WORD> frame = frameTemplate(owner != nullptr);
    const INT_PTR result =
        DialogBoxIndirectParamW(module_, reinterpret_cast<const DLGTEMPLATE*>(frame.data()), owner,
                                &StationWindow::proc, reinterpret_cast<LPARAM>(this));
    if (result != -1) return 0;
    watcher_.start([this] { source_.reset(); });  // the window never came: the source goes on its thread
    return 2;
  }

 private:
  static INT_PTR CALLBACK proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
      reinterpret_cast<StationWindow*>(lparam)->create(hwnd);
      return TRUE;
    }
    auto* self = reinterpret_cast<StationWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->handle(message, wparam, lparam) : FALSE;
  }

  int dialogUnits(int units) const {
    RECT r{0, 0, units, 0};
    MapDialogRect(hwnd_, &r);
    return r.right;
  }

  HWND control(const wchar_t* window_class, int id, DWORD style) {
    HWND made = CreateWindowExW(0, window_class, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module_, nullptr);
    SendMessageW(made, WM_SETFONT, SendMessageW(hwnd_, WM_GETFONT, 0, 0), FALSE);
    return made;
  }

  void create(HWND hwnd) {
    hwnd_ = hwnd;
    const auto setIcon = [this](platform::UniqueIcon& icon, WPARAM which, int metric) {
      const int pixels = GetSystemMetrics(metric);
      icon.reset(static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, pixels, pixels, 0)));
      SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon.get()));
    };
    setIcon(big_icon_, ICON_BIG, SM_CXICON);
    setIcon(small_icon_, ICON_SMALL, SM_CXSMICON);
    control(WC_STATICW, kStationTotals, SS_LEFTNOWORDWRAP | SS_NOPREFIX);
    control(WC_STATICW, kStationIdentity, SS_LEFTNOWORDWRAP | SS_NOPREFIX);
    for (int id : {kStationStartAll, kStationStop, kStationClear}) control(WC_BUTTONW, id, BS_PUSHBUTTON | WS_TABSTOP);
    table_ = control(WC_LISTVIEWW, kStationTable,
                     LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP);
    SendMessageW(table_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);

    station::JobSettings job;
    job.image = settings_.image;
    if (log_) job.keep_record = [log = log_.get()](const station::AttemptRecord& r) { return log->keep(r); };
    station::StationBoard::Hooks hooks;
    hooks.post = [this](std::function<void()> fn) { postUiCall(hwnd_, 0, std::move(fn)); };
    hooks.target = [](const std::string& device, std::shared_ptr<std::atomic<bool>> unplugged) {
      std::string error;
      return frontend::makeJobTarget(device, &error, std::move(unplugged));
    };
    hooks.changed = [this] { render(); };
    board_ = std::make_unique<station::StationBoard>(std::move(job), settings_.language, std::move(hooks));

    SetWindowTextW(hwnd_, wideFromUtf8(board_->title()).c_str());
    SetDlgItemTextW(hwnd_, kStationIdentity, wideFromUtf8(board_->identity()).c_str());
    SetDlgItemTextW(hwnd_, kStationStartAll, wideFromUtf8(board_->buttonText(station::StationText::StartAll)).c_str());
    SetDlgItemTextW(hwnd_, kStationStop, wideFromUtf8(board_->buttonText(station::StationText::Stop)).c_str());
    SetDlgItemTextW(hwnd_, kStationClear, wideFromUtf8(board_->buttonText(station::StationText::Clear)).c_str());
    for (int c = 0; c < station::kColumns; ++c) {
      std::wstring header = wideFromUtf8(board_->header(static_cast<station::BoardColumn>(c)));
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.pszText = header.data();
      column.cx = dialogUnits(kColumnWidths[c]);
      column.iSubItem = c;
      SendMessageW(table_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    layout();
    render();
    // The cameras plugged in now come with the watcher's first look.
    watching_ = true;
    watcher_.start([this] { watch(); });
  }

  // The watcher's thread: cameras plugged in and out, to the board.
  void watch() {
    while (watching_ && source_) {
      std::vector<frontend::PlugEvent> events = source_->poll(kPoll);
      if (events.empty()) continue;
      postUiCall(hwnd_, 0, [this, events = std::move(events)] {
        for (const frontend::PlugEvent& event : events) {
          if (event.plugged)
            board_->plugged(event.device);
          else
            board_->unplugged(event.device);
        }
      });
    }
    source_.reset();  // on the thread that made it (a notification window lives there)
  }

  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case kUiCallMessage:
        runUiCall(lparam);
        return TRUE;
      case WM_SIZE:
        layout();
        return TRUE;
      case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize = {dialogUnits(360), dialogUnits(120)};
        return TRUE;
      }
      case WM_COMMAND:
        switch (LOWORD(wparam)) {
          case kStationStartAll: board_->startAll(); return TRUE;
          case kStationStop: board_->stop(); return TRUE;
          case kStationClear: board_->clear(); return TRUE;
          case IDCANCEL: close(); return TRUE;  // Esc, the close box
          default: return FALSE;
        }
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->hwndFrom != table_) return FALSE;
        if (header->code == NM_CUSTOMDRAW) {
          SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lparam)));
          return TRUE;
        }
        if (header->code == LVN_GETINFOTIPW) {
          infoTip(*reinterpret_cast<NMLVGETINFOTIPW*>(lparam));
          return TRUE;
        }
        return FALSE;
      }
      case WM_QUERYENDSESSION:
        if (!shutdown_block_) return FALSE;
        // Not now: a camera's flash is being written. No camera starts any more.
        board_->stop();
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, FALSE);
        return TRUE;
      case WM_DESTROY:
        tearDown();
        return FALSE;
      default:
        return FALSE;
    }
  }

  // The burns in flight end before the window goes.
  void close() {
    if (board_->idle()) {
      EndDialog(hwnd_, 0);
      return;
    }
    closing_ = true;
    board_->stop();
    render();
  }

  void tearDown() {
    watching_ = false;
    watcher_.join();
    board_.reset();  // waits for jobs in flight (none once closed the usual way)
    shutdown_block_.reset();
    // What the watcher and the jobs posted after the last look goes unrun.
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, kUiCallMessage, kUiCallMessage, PM_REMOVE)) dropUiCall(msg.lParam);
  }

  void layout() {
    RECT area{};
    GetClientRect(hwnd_, &area);
    const int width = area.right;
    const int height = area.bottom;
    const int margin = dialogUnits(7);
    const int button_width = dialogUnits(56);
    const int button_height = dialogUnits(14);
    const int line = dialogUnits(10);
    const int gap = dialogUnits(4);
    int x = width - margin;
    for (int id : {kStationClear, kStationStop, kStationStartAll}) {
      x -= button_width;
      MoveWindow(GetDlgItem(hwnd_, id), x, margin, button_width, button_height, TRUE);
      x -= gap;
    }
    const int text_top = margin + (button_height - line) / 2;
    MoveWindow(GetDlgItem(hwnd_, kStationTotals), margin, text_top, std::max(0, x - margin), line, TRUE);
    const int identity_top = margin + button_height + gap;
    MoveWindow(GetDlgItem(hwnd_, kStationIdentity), margin, identity_top, width - 2 * margin, line, TRUE);
    const int table_top = identity_top + line + gap;
    MoveWindow(table_, margin, table_top, width - 2 * margin, std::max(0, height - margin - table_top), TRUE);
    fitResultColumn();
  }

  int columnWidth(int column) const {
    return static_cast<int>(SendMessageW(table_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
  }

  // The reason of a failure is what the operator reads: it takes the room left.
  void fitResultColumn() {
    RECT inside{};
    GetClientRect(table_, &inside);
    int others = 0;
    for (int c = 0; c < station::kColumns; ++c) others += c == station::kColumnResult ? 0 : columnWidth(c);
    const int width = std::max(dialogUnits(80), static_cast<int>(inside.right) - others);
    SendMessageW(table_, LVM_SETCOLUMNWIDTH, station::kColumnResult, MAKELPARAM(width, 0));
  }

  // Device and port as wide as their longest text, within a limit.
  void fitNameColumns() {
    for (int c : {station::kColumnDevice, station::kColumnPort}) {
      SendMessageW(table_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
      const int fitted = std::max(columnWidth(c), dialogUnits(kColumnWidths[c]));
      SendMessageW(table_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c),
                   MAKELPARAM(std::min(fitted, dialogUnits(kWidestNameColumn)), 0));
    }
    fitResultColumn();
  }

  void setCell(int row, int column, const std::string& text) {
    std::wstring wide = wideFromUtf8(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(table_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }

  void render() {
    if (!board_) return;
    const std::vector<BoardRow>& rows = board_->rows();
    const int wanted = static_cast<int>(rows.size());
    int count = static_cast<int>(SendMessageW(table_, LVM_GETITEMCOUNT, 0, 0));
    const bool reshaped = count != wanted;
    for (; count < wanted; ++count) {
      LVITEMW item{};
      item.iItem = count;
      SendMessageW(table_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    for (; count > wanted; --count) SendMessageW(table_, LVM_DELETEITEM, static_cast<WPARAM>(count - 1), 0);
    std::string scratch;
    for (int r = 0; r < wanted; ++r)
      for (int c = 0; c < station::kColumns; ++c) setCell(r, c, cellText(rows[static_cast<std::size_t>(r)], c, scratch));
    if (reshaped) fitNameColumns();

    const station::BoardTotals totals = board_->totals();
    SetDlgItemTextW(hwnd_, kStationTotals, wideFromUtf8(totals.text).c_str());
    EnableWindow(GetDlgItem(hwnd_, kStationStartAll), totals.can_start && !closing_);
    EnableWindow(GetDlgItem(hwnd_, kStationStop), totals.can_stop && !closing_);
    EnableWindow(GetDlgItem(hwnd_, kStationClear), totals.can_clear && !closing_);
    // While a flash is written a shutdown or log-off waits, with the reason shown.
    if (totals.running > 0 && !shutdown_block_)
      shutdown_block_ = std::make_unique<platform::win32::ShutdownBlock>(hwnd_, platform::kBurningReason);
    else if (totals.running == 0)
      shutdown_block_.reset();
    if (closing_ && totals.running == 0) EndDialog(hwnd_, 0);
  }

  LRESULT customDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
      case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
      case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
      case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        break;
      default:
        return CDRF_DODEFAULT;
    }
    const std::vector<BoardRow>& rows = board_->rows();
    const auto r = static_cast<std::size_t>(draw.nmcd.dwItemSpec);
    if (r >= rows.size()) return CDRF_DODEFAULT;
    draw.clrText = textColour(rows[r], draw.iSubItem);
    draw.clrTextBk = GetSysColor(COLOR_WINDOW);
    if (draw.iSubItem != station::kColumnProgress) return CDRF_NEWFONT;
    RECT cell{};
    cell.top = station::kColumnProgress;
    cell.left = LVIR_BOUNDS;
    SendMessageW(table_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&cell));
    drawProgress(draw.nmcd.hdc, cell, rows[r]);
    return CDRF_SKIPDEFAULT;
  }

  // A progress bar in the cell, with the percentage on it.
  static void drawProgress(HDC dc, RECT cell, const BoardRow& row) {
    FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
    InflateRect(&cell, -3, -3);
    FrameRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT done = cell;
    InflateRect(&done, -1, -1);
    done.right = done.left + (done.right - done.left) * std::clamp(row.percent, 0, 100) / 100;
    SetDCBrushColor(dc, row.unplugged ? GetSysColor(COLOR_GRAYTEXT) : RGB(6, 176, 37));
    FillRect(dc, &done, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    const std::wstring text = wideFromUtf8(progressText(row));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }

  // The whole reason of a failure, as the result's cell has no room for it.
  void infoTip(NMLVGETINFOTIPW& tip) {
    const std::vector<BoardRow>& rows = board_->rows();
    const auto r = static_cast<std::size_t>(tip.iItem);
    if (r >= rows.size() || rows[r].result_tooltip.empty() || tip.cchTextMax <= 0) return;
    const std::wstring text = wideFromUtf8(rows[r].result_tooltip);
    const auto length = std::min(text.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
    std::wmemcpy(tip.pszText, text.c_str(), length);
    tip.pszText[length] = L'\0';
  }

  HINSTANCE module_;
  const StationWindowSettings settings_;
  HWND hwnd_ = nullptr;
  HWND table_ = nullptr;
  platform::UniqueIcon big_icon_;
  platform::UniqueIcon small_icon_;
  std::unique_ptr<frontend::RecordLog> log_;
  std::unique_ptr<frontend::HotplugSource> source_;  // the watcher's thread only
  std::atomic<bool> watching_{false};
  bool closing_ = false;
  std::unique_ptr<platform::win32::ShutdownBlock> shutdown_block_;
  std::unique_ptr<station::StationBoard> board_;
  app::WorkerThread watcher_;  // last: it ends before what it reports to
};

}  // namespace

int runStationWindow(HINSTANCE module, HWND owner, const StationWindowSettings& settings) {
  StationWindow window(module, settings);
  const std::string error = window.open();
  if (!error.empty()) {
    const std::wstring title = wideFromUtf8(station::stationText(settings.language, station::StationText::Title));
    MessageBoxW(owner, wideFromUtf8(error).c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return 2;
  }
  // Cameras may be plugged in at any time: the machine stays awake while the window is open.
  const auto hold = platform::holdMachine({platform::kBurningReason, {}});
  return window.run(owner);
}

}  // namespace emberline::gui::win32
