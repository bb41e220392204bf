#include "app/view/control_panel.h"

#include <imgui.h>
#include <strings.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>

#include "app/settings/widget_table.h"
#include "assim/number_text.h"
#include "embed/widget_glossary.h"

namespace brumel {

namespace {

constexpr int kColumns = 4;

// Decimals that show one increment: 0.01 -> 2, 0.005 -> 3, 17 -> 0.
int decimals_for(double increment) {
  if (!(increment > 0.0) || increment >= 1.0) return 0;
  return std::clamp(static_cast<int>(std::ceil(-std::log10(increment) - 1e-9)), 0, 6);
}

// The value's printf format, with as many decimals as one increment shows.
std::string slider_format(double increment) {
  return "%." + std::to_string(decimals_for(increment)) + "f";
}

// The caption with its "%s" replaced by the chosen entry ("Mode: Wireframe").
std::string option_caption(const COption& w) {
  const bool known = w.value >= 0 && w.value < static_cast<int>(w.entries.size());
  const std::string entry = known ? w.entries[w.value] : "#" + std::to_string(w.value);
  std::string caption = w.name();
  const std::size_t marker = caption.find("%s");
  if (marker == std::string::npos) return caption + " " + entry;
  return caption.replace(marker, 2, entry);
}

void tooltip(const CWidget& widget, const std::string& range) {
  if (!ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) return;
  ImGui::BeginTooltip();
  // What the widget is, from the glossary `brumel info` prints (another module's
  // widgets have none).
  if (const WidgetGloss* gloss = gloss_of(widget)) {
    ImGui::TextUnformatted(gloss->full_name);
    ImGui::TextUnformatted(gloss->meaning);
    if (*gloss->unit != '\0') ImGui::Text("unit: %s", gloss->unit);
  }
  ImGui::Text("#%d \"%s\"", widget.index(), widget.name().c_str());
  if (!range.empty()) ImGui::TextUnformatted(range.c_str());
  if (widget.is_dimmed()) ImGui::TextUnformatted("dimmed: its switch is off");
  ImGui::EndTooltip();
}

void draw_number(CNumeric& w, const ControlPanel::EditFunction& edited) {
  double v = w.value;
  const std::string format = slider_format(w.increment);
  ImGui::TextUnformatted(w.name().c_str());
  ImGui::SetNextItemWidth(-FLT_MIN);
  bool changed = ImGui::SliderScalar("##value", ImGuiDataType_Double, &v, &w.minimum, &w.maximum,
                                     format.c_str());
  // The mouse wheel steps by the widget's increment (the panel does not scroll).
  const float wheel = ImGui::GetIO().MouseWheel;
  if (!w.is_dimmed() && ImGui::IsItemHovered() && wheel != 0.0f) {
    v = std::clamp(w.value + (wheel > 0.0f ? w.increment : -w.increment), w.minimum, w.maximum);
    changed = v != w.value;
  }
  tooltip(w, number_text(w.minimum) + " to " + number_text(w.maximum) + ", step " +
                 number_text(w.increment) + " (wheel); Ctrl+click to type");
  if (!changed) return;
  w = v;
  w.keys.clear();  // an edited value holds for the whole shot
  edited(w);
}

void draw_switch(CBoolean& w, const ControlPanel::EditFunction& edited) {
  bool on = w.value != 0;
  const bool changed = ImGui::Checkbox(w.name().c_str(), &on);
  tooltip(w, "on, off");
  if (!changed) return;
  w = on ? 1 : 0;
  w.keys.clear();
  edited(w);
}

void draw_option(COption& w, const ControlPanel::EditFunction& edited) {
  const std::string caption = option_caption(w);
  ImGui::SetNextItemWidth(-FLT_MIN);
  int chosen = -1;
  if (ImGui::BeginCombo("##value", caption.c_str())) {
    for (int i = 0; i < static_cast<int>(w.entries.size()); ++i) {
      ImGui::PushID(i);
      if (ImGui::Selectable(w.entries[i].c_str(), i == w.value)) chosen = i;
      ImGui::PopID();
    }
    ImGui::EndCombo();
  }
  tooltip(w, "");
  if (chosen < 0) return;
  w = static_cast<long>(chosen);
  w.keys.clear();
  edited(w);
}

void draw_colour(CColor& w, const ControlPanel::EditFunction& edited) {
  float rgba[4];
  for (int c = 0; c < 4; ++c) rgba[c] = static_cast<float>(w.value[c]);
  const bool changed = ImGui::ColorEdit4(
      w.name().c_str(), rgba,
      ImGuiColorEditFlags_NoInputs | ImGuiColorEditFlags_AlphaBar | ImGuiColorEditFlags_Float);
  tooltip(w, "R,G,B,A each 0 to 1");
  if (!changed) return;
  double values[4];
  for (int c = 0; c < 4; ++c) values[c] = rgba[c];
  w.set_value(values);
  w.keys.clear();
  edited(w);
}

void draw_widget(CWidget& widget, const ControlPanel::EditFunction& edited) {
  ImGui::PushID(widget.index());  // names repeat across pages ("Restart", "Mode: %s")
  ImGui::BeginDisabled(widget.is_dimmed());
  switch (widget.kind()) {
    case WidgetKind::Numeric:
      draw_number(static_cast<CNumeric&>(widget), edited);
      break;
    case WidgetKind::Boolean:
      draw_switch(static_cast<CBoolean&>(widget), edited);
      break;
    case WidgetKind::Option:
      draw_option(static_cast<COption&>(widget), edited);
      break;
    case WidgetKind::Color:
      draw_colour(static_cast<CColor&>(widget), edited);
      break;
    case WidgetKind::Action:
      if (ImGui::Button(widget.name().c_str(), ImVec2(-FLT_MIN, 0.0f))) edited(widget);
      tooltip(widget, "");
      break;
    case WidgetKind::Label:
      ImGui::TextUnformatted(widget.name().c_str());
      break;
  }
  ImGui::EndDisabled();
  ImGui::PopID();
}

}  // namespace

std::vector<PanelPage> panel_pages(FXNode& node) {
  std::map<int, PanelPage> pages;
  for (const WidgetRow& row : describe_widgets(node)) {
    if (row.page < 0) continue;
    PanelPage& page = pages[row.page];
    if (page.name.empty()) {
      page.name = row.page_name.empty() ? "Page " + std::to_string(row.page + 1) : row.page_name;
    }
    if (row.column < 0 || row.column >= kColumns || row.row < 0 || row.row >= kRowsPerPage) {
      continue;  // the page labels, in the label column
    }
    page.cells[row.row][row.column].push_back(row.index);
  }
  std::vector<PanelPage> ordered;
  for (auto& [number, page] : pages) ordered.push_back(std::move(page));
  return ordered;
}

void ControlPanel::rebuild(FXNode& node) {
  pages_ = panel_pages(node);
  current_page_ = std::clamp(current_page_, 0, std::max(static_cast<int>(pages_.size()) - 1, 0));
  requested_page_ = current_page_;
}

int ControlPanel::find_page(const std::string& name) const {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i].name == name) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (strcasecmp(pages_[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

std::optional<WindowRect> ControlPanel::drawn_at(const FXNode& node,
                                                 const std::string& name) const {
  for (const bool exact : {true, false}) {
    for (const auto& [index, rect] : drawn_) {
      const CWidget* widget = node.control(index);
      if (widget == nullptr) continue;
      if (exact ? widget->name() == name : strcasecmp(widget->name().c_str(), name.c_str()) == 0) {
        return rect;
      }
    }
  }
  return std::nullopt;
}

void ControlPanel::draw(FXNode& node, const EditFunction& edited) {
  drawn_.clear();
  if (!ImGui::BeginTabBar("pages")) return;
  for (std::size_t p = 0; p < pages_.size(); ++p) {
    const PanelPage& page = pages_[p];
    const ImGuiTabItemFlags flags =
        requested_page_ == static_cast<int>(p) ? ImGuiTabItemFlags_SetSelected : 0;
    ImGui::PushID(static_cast<int>(p));
    if (ImGui::BeginTabItem(page.name.c_str(), nullptr, flags)) {
      current_page_ = static_cast<int>(p);
      if (ImGui::BeginTable("cells", kColumns, ImGuiTableFlags_SizingStretchSame)) {
        for (const auto& row : page.cells) {
          ImGui::TableNextRow();
          for (int c = 0; c < kColumns; ++c) {
            ImGui::TableSetColumnIndex(c);
            for (int index : row[c]) {
              CWidget* widget = node.control(index);
              if (widget == nullptr || !widget->is_shown()) continue;
              draw_widget(*widget, edited);
              const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
              drawn_[index] = {min.x, min.y, max.x - min.x, max.y - min.y};
            }
          }
        }
        ImGui::EndTable();
      }
      ImGui::EndTabItem();
    }
    ImGui::PopID();
  }
  requested_page_ = -1;
  ImGui::EndTabBar();
}

}  // namespace brumel
