// Every text the operator can be shown fits the control that shows it, in
// both languages and at 100, 150 and 200 % scaling: each text is measured
// with its control's own font against the room its style leaves for it.

#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>

#include "core/app/operator_texts.h"
#include "gui/qt/about_dialog.h"
#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using namespace testing;

// "what (needed x available)" for a text that does not fit, else empty.
std::string misfit(const QString& what, QSize needed, QSize room) {
  if (needed.width() <= room.width() && needed.height() <= room.height()) return {};
  return what.toStdString() + " needs " + std::to_string(needed.width()) + "x" +
         std::to_string(needed.height()) + ", has " + std::to_string(room.width()) + "x" +
         std::to_string(room.height());
}

QSize textSize(const QWidget* w, const QString& text) {
  const QFontMetrics fm = w->fontMetrics();
  int width = 0;
  for (const QString& line : text.split('\n')) width = std::max(width, fm.horizontalAdvance(line));
  return {width, fm.height() * static_cast<int>(text.count('\n') + 1)};
}

std::string buttonMisfit(const QPushButton* b) {
  QStyleOptionButton option;
  option.initFrom(b);
  option.text = b->text();
  const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
  return misfit(b->text(), textSize(b, b->text()), room.size());
}

std::string labelMisfit(const QLabel* l) {
  return misfit(l->text(), textSize(l, l->text()), l->contentsRect().size());
}

// The status line with `text`: every line, inside the document's margins.
std::string statusMisfit(QTextEdit* status, const QString& text) {
  const int margin = static_cast<int>(status->document()->documentMargin());
  const QSize room = status->viewport()->size() - QSize(2 * margin, 2 * margin);
  return misfit(text, textSize(status, text), room);
}

class TextFit : public ::testing::TestWithParam<std::tuple<w::Language, double>> {
 protected:
  void SetUp() override {
    original_ = QApplication::font();
    QFont scaled = original_;
    scaled.setPointSizeF(original_.pointSizeF() * std::get<1>(GetParam()));
    QApplication::setFont(scaled);
  }
  void TearDown() override { QApplication::setFont(original_); }
  QFont original_;
};

TEST_P(TextFit, EveryCaptionLabelTabAndStatusTextFitsItsControl) {
  const w::Language language = std::get<0>(GetParam());
  GuiRig rig(language);
  rig.open();
  EmberlineDialog& dialog = *rig.dialog;
  std::vector<std::string> misfits;
  const auto note = [&](std::string m) {
    if (!m.empty()) misfits.push_back(std::move(m));
  };

  for (const app::ControlTemplate& c : app::mainDialogControls()) {
    if (c.has(app::kStyleHidden)) continue;  // inert: never shown
    if (auto* b = qobject_cast<QPushButton*>(dialog.control(c.id))) note(buttonMisfit(b));
    if (auto* l = qobject_cast<QLabel*>(dialog.control(c.id))) note(labelMisfit(l));
  }

  // Stage labels widened to their caption still leave room for the next one.
  for (std::size_t i = 1; i < app::kStageRow.size(); ++i)
    for (std::size_t j = i + 1; j < app::kStageRow.size(); ++j)
      if (dialog.control(app::kStageRow[i])->geometry().intersects(dialog.control(app::kStageRow[j])->geometry()))
        note("stage labels " + std::to_string(app::kStageRow[i]) + " and " + std::to_string(app::kStageRow[j]) +
             " overlap");

  // A tab holds its caption and the style's spacing, inside the tab control.
  QTabBar* tabs = dialog.tabControl()->tabBar();
  const int spacing = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
  for (int i = 0; i < tabs->count(); ++i) {
    const QRect tab = tabs->tabRect(i);
    note(misfit(tabs->tabText(i), textSize(tabs, tabs->tabText(i)) + QSize(spacing, 0), tab.size()));
    note(misfit(tabs->tabText(i) + " (its tab)", {tabs->mapTo(&dialog, tab.topRight()).x(), 0},
                {dialog.tabControl()->geometry().right(), 0}));
  }

  auto* status = qobject_cast<QTextEdit*>(dialog.control(w::kCtlStatus));
  const QString waiting = QString::fromStdString(app::closeWaitNote(language));
  for (int id = w::kStrNoTask; id <= w::kStrExportFailed; ++id) {
    const QString text = QString::fromStdString(dialog.controller().loadString(id));
    note(statusMisfit(status, text));
    note(statusMisfit(status, text + '\n' + waiting));
  }

  AboutDialog about(language, &dialog);
  for (const auto* l : about.findChildren<QLabel*>())
    if (!l->text().isEmpty()) note(labelMisfit(l));
  for (const auto* b : about.findChildren<QPushButton*>()) note(buttonMisfit(b));

  EXPECT_TRUE(misfits.empty()) << ::testing::PrintToString(misfits);
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndScales, TextFit,
                         ::testing::Combine(::testing::Values(w::Language::English,
                                                              w::Language::SimplifiedChinese),
                                            ::testing::Values(1.0, 1.5, 2.0)),
                         [](const auto& param_info) {
                           const bool zh = std::get<0>(param_info.param) == w::Language::SimplifiedChinese;
                           return std::string(zh ? "zh_CN_" : "en_") +
                                  std::to_string(static_cast<int>(std::get<1>(param_info.param) * 100)) + "percent";
                         });

}  // namespace
}  // namespace emberline::gui
