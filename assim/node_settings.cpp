// A node's saved settings: every widget's kind, name, index, value and keys as one
// JSON document. Loading checks the whole document before it changes any widget.
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_set>
#include <variant>

#include "assim/fx_node.h"

using nlohmann::json;

namespace {

const char* kind_name(WidgetKind kind) {
  switch (kind) {
    case WidgetKind::Numeric: return "numeric";
    case WidgetKind::Boolean: return "boolean";
    case WidgetKind::Option: return "option";
    case WidgetKind::Color: return "color";
    case WidgetKind::Action: return "action";
    case WidgetKind::Label: return "label";
  }
  return "unknown";
}

bool has_value(WidgetKind kind) { return kind != WidgetKind::Action && kind != WidgetKind::Label; }

using Value = std::variant<double, bool, int, std::array<double, 4>>;

json colour_json(const std::array<double, 4>& c) { return json::array({c[0], c[1], c[2], c[3]}); }

json value_json(const CWidget& w) {
  switch (w.kind()) {
    case WidgetKind::Numeric: return static_cast<const CNumeric&>(w).value;
    case WidgetKind::Boolean: return static_cast<const CBoolean&>(w).value != 0;
    case WidgetKind::Option: return static_cast<const COption&>(w).value;
    case WidgetKind::Color: return colour_json(static_cast<const CColor&>(w).value);
    default: return nullptr;
  }
}

template <class V, class ToJson>
json keys_json(const std::map<double, V>& keys, ToJson to_json) {
  json out = json::array();
  for (const auto& [time, v] : keys) out.push_back(json::array({time, to_json(v)}));
  return out;
}

json widget_keys_json(const CWidget& w) {
  auto same = [](const auto& v) { return json(v); };
  switch (w.kind()) {
    case WidgetKind::Numeric: return keys_json(static_cast<const CNumeric&>(w).keys, same);
    case WidgetKind::Boolean: return keys_json(static_cast<const CBoolean&>(w).keys, same);
    case WidgetKind::Option: return keys_json(static_cast<const COption&>(w).keys, same);
    case WidgetKind::Color: return keys_json(static_cast<const CColor&>(w).keys, colour_json);
    default: return json::array();
  }
}

std::string in_quotes(const std::string& text) { return "\"" + text + "\""; }

// Reads one value of a widget's kind; on a mismatch says what `what` should have been.
std::optional<Value> read_value(WidgetKind kind, const json& j, const std::string& what,
                                std::string& error) {
  auto finite_number = [](const json& n) {
    return n.is_number() && std::isfinite(n.get<double>());
  };
  switch (kind) {
    case WidgetKind::Numeric:
      if (finite_number(j)) return j.get<double>();
      error = what + " must be a finite number, not " + j.dump();
      return std::nullopt;
    case WidgetKind::Boolean:
      if (j.is_boolean()) return j.get<bool>();
      error = what + " must be true or false, not " + j.dump();
      return std::nullopt;
    case WidgetKind::Option:
      if (j.is_number_integer()) {
        auto v = j.get<long long>();
        if (j.is_number_unsigned() ? j.get<unsigned long long>() <= 2147483647ull
                                   : v >= -2147483648ll && v <= 2147483647ll)
          return static_cast<int>(v);
      }
      error = what + " must be a whole number (an entry index), not " + j.dump();
      return std::nullopt;
    case WidgetKind::Color:
      if (j.is_array() && j.size() == 4) {
        std::array<double, 4> c{};
        bool ok = true;
        for (std::size_t k = 0; k < 4; ++k) {
          ok = ok && finite_number(j[k]);
          if (ok) c[k] = j[k].get<double>();
        }
        if (ok) return c;
      }
      error = what + " must be four numbers [red, green, blue, alpha], not " + j.dump();
      return std::nullopt;
    default:
      error = what + " is not allowed";
      return std::nullopt;
  }
}

struct Staged {
  Value value;
  std::vector<std::pair<double, Value>> keys;
};

// Checks one widget entry against the node's widget; fills `out` for valued widgets.
bool check_widget(const json& entry, const CWidget& w, std::optional<Staged>& out,
                  std::string& error) {
  const int i = w.index();
  const std::string where = "widget " + std::to_string(i) + " (" + in_quotes(w.name()) + ")";
  if (!entry.is_object()) {
    error = where + ": the entry is not an object";
    return false;
  }
  auto field = [&](const char* name) -> const json* {
    auto it = entry.find(name);
    if (it == entry.end()) {
      error = where + ": the field \"" + name + "\" is missing";
      return nullptr;
    }
    return &*it;
  };
  const json* index = field("index");
  if (!index) return false;
  if (!index->is_number_integer() || index->get<long long>() != i) {
    error = where + ": \"index\" is " + index->dump() + ", expected " + std::to_string(i);
    return false;
  }
  const json* kind = field("kind");
  if (!kind) return false;
  if (!kind->is_string() || kind->get_ref<const std::string&>() != kind_name(w.kind())) {
    error = where + ": \"kind\" is " + kind->dump() + ", expected \"" + kind_name(w.kind()) + "\"";
    return false;
  }
  const json* name = field("name");
  if (!name) return false;
  if (!name->is_string() || name->get_ref<const std::string&>() != w.name()) {
    error = where + ": \"name\" is " + name->dump() + ", expected " + in_quotes(w.name());
    return false;
  }
  if (!has_value(w.kind())) {
    for (const char* extra : {"value", "keys"})
      if (entry.contains(extra)) {
        error = where + ": " + (w.kind() == WidgetKind::Action ? "a button" : "a page label") +
                " has no \"" + extra + "\"";
        return false;
      }
    return true;
  }
  const json* value = field("value");
  if (!value) return false;
  auto v = read_value(w.kind(), *value, where + ": \"value\"", error);
  if (!v) return false;
  Staged staged{*v, {}};
  if (auto keys = entry.find("keys"); keys != entry.end()) {
    if (!keys->is_array()) {
      error = where + ": \"keys\" must be a list of [time, value] pairs, not " + keys->dump();
      return false;
    }
    std::unordered_set<double> times;  // -0.0 and 0.0 hash and compare alike
    times.reserve(keys->size());
    for (std::size_t k = 0; k < keys->size(); ++k) {
      const json& key = (*keys)[k];
      const std::string what = where + ": key " + std::to_string(k);
      if (!key.is_array() || key.size() != 2) {
        error = what + " must be a [time, value] pair, not " + key.dump();
        return false;
      }
      if (!key[0].is_number() || !std::isfinite(key[0].get<double>())) {
        error = what + ": the time must be a finite number, not " + key[0].dump();
        return false;
      }
      const double time = key[0].get<double>();
      if (!times.insert(time).second) {
        error = what + ": time " + key[0].dump() + " is keyed twice";
        return false;
      }
      auto kv = read_value(w.kind(), key[1], what + ": the value", error);
      if (!kv) return false;
      staged.keys.emplace_back(time, *kv);
    }
  }
  out = std::move(staged);
  return true;
}

template <class W, class V>
void restore(W& w, const Staged& s) {
  w.keys.clear();
  for (const auto& [time, v] : s.keys) w.keys[time] = std::get<V>(v);
}

void apply(CWidget& w, const Staged& s) {
  switch (w.kind()) {
    case WidgetKind::Numeric: {
      auto& n = static_cast<CNumeric&>(w);
      n.value = std::get<double>(s.value);
      restore<CNumeric, double>(n, s);
      break;
    }
    case WidgetKind::Boolean: {
      auto& b = static_cast<CBoolean&>(w);
      b.value = std::get<bool>(s.value) ? 1 : 0;
      restore<CBoolean, bool>(b, s);
      break;
    }
    case WidgetKind::Option: {
      auto& o = static_cast<COption&>(w);
      o.value = std::get<int>(s.value);
      restore<COption, int>(o, s);
      break;
    }
    case WidgetKind::Color: {
      auto& c = static_cast<CColor&>(w);
      c.value = std::get<std::array<double, 4>>(s.value);
      restore<CColor, std::array<double, 4>>(c, s);
      break;
    }
    default:
      break;
  }
}

}  // namespace

bool FXNode::reg_save(RegV& out) const {
  json widgets = json::array();
  for (const auto& w : widgets_) {
    json entry = {{"index", w->index()}, {"kind", kind_name(w->kind())}, {"name", w->name()}};
    if (has_value(w->kind())) {
      entry["value"] = value_json(*w);
      entry["keys"] = widget_keys_json(*w);
    }
    widgets.push_back(std::move(entry));
  }
  out = RegV(json{{"format", RegV::kFormat},
                  {"version", RegV::kVersion},
                  {"node", name_},
                  {"uuid", std::string(node_uuid, strnlen(node_uuid, sizeof node_uuid))},
                  {"widgets", std::move(widgets)}});
  return true;
}

bool FXNode::reg_load(const RegV& in, std::string* error) {
  std::string why;
  auto refuse = [&] {
    if (error) *error = why;
    return false;
  };
  const json& doc = in.doc();
  if (!RegV::check_format(doc, why)) return refuse();

  auto text_field = [&](const char* field, const std::string& expected) {
    auto it = doc.find(field);
    if (it == doc.end()) {
      why = std::string("the settings document has no \"") + field + "\" field";
      return false;
    }
    if (!it->is_string() || it->get_ref<const std::string&>() != expected) {
      why = std::string("the settings' \"") + field + "\" is " + it->dump() + "; this node's is " +
            in_quotes(expected);
      return false;
    }
    return true;
  };
  if (!text_field("node", name_)) return refuse();
  if (!text_field("uuid", std::string(node_uuid, strnlen(node_uuid, sizeof node_uuid))))
    return refuse();

  auto list = doc.find("widgets");
  if (list == doc.end()) {
    why = "the settings document has no \"widgets\" field";
    return refuse();
  }
  if (!list->is_array()) {
    why = "\"widgets\" must be a list, not " + std::string(list->type_name());
    return refuse();
  }
  if (list->size() != widgets_.size()) {
    why = "the settings hold " + std::to_string(list->size()) + " widgets; node " +
          in_quotes(name_) + " has " + std::to_string(widgets_.size());
    return refuse();
  }

  std::vector<std::optional<Staged>> staged(widgets_.size());
  for (std::size_t i = 0; i < widgets_.size(); ++i)
    if (!check_widget((*list)[i], *widgets_[i], staged[i], why)) return refuse();

  for (std::size_t i = 0; i < widgets_.size(); ++i)
    if (staged[i]) apply(*widgets_[i], *staged[i]);
  return true;
}
