// The controls of a dialog, addressed by control id. Dialog logic is written
// against this; the wx views implement it, and FakeDialogControls serves tests.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace plat {

class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool IsChecked(int id) const = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void Show(int id, bool shown) = 0;
  virtual bool IsShown(int id) const = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string GetText(int id) const = 0;
  // List and combo boxes.
  virtual void ClearItems(int id) = 0;
  virtual int AddItem(int id, const std::string& text) = 0;  // index of the new item
  virtual int ItemCount(int id) const = 0;
  virtual std::string ItemText(int id, int index) const = 0;
  virtual void Select(int id, int index) = 0;  // -1 selects nothing
  virtual int Selection(int id) const = 0;     // -1 when nothing is selected
};

// In-memory controls for tests: every id exists, enabled and shown, empty and unchecked.
class FakeDialogControls : public DialogControls {
 public:
  struct Control {
    bool checked = false;
    bool enabled = true;
    bool shown = true;
    std::string text;
    std::vector<std::string> items;
    int selection = -1;
  };

  void SetCheck(int id, bool checked) override { controls_[id].checked = checked; }
  bool IsChecked(int id) const override { return Get(id).checked; }
  void Enable(int id, bool enabled) override { controls_[id].enabled = enabled; }
  bool IsEnabled(int id) const override { return Get(id).enabled; }
  void Show(int id, bool shown) override { controls_[id].shown = shown; }
  bool IsShown(int id) const override { return Get(id).shown; }
  void SetText(int id, const std::string& text) override { controls_[id].text = text; }
  std::string GetText(int id) const override { return Get(id).text; }
  void ClearItems(int id) override {
    controls_[id].items.clear();
    controls_[id].selection = -1;
  }
  int AddItem(int id, const std::string& text) override {
    controls_[id].items.push_back(text);
    return static_cast<int>(controls_[id].items.size()) - 1;
  }
  int ItemCount(int id) const override { return static_cast<int>(Get(id).items.size()); }
  std::string ItemText(int id, int index) const override {
    const Control& c = Get(id);
    return index >= 0 && index < static_cast<int>(c.items.size()) ? c.items[index] : std::string();
  }
  void Select(int id, int index) override { controls_[id].selection = index; }
  int Selection(int id) const override { return Get(id).selection; }

 private:
  const Control& Get(int id) const {
    static const Control empty;
    auto it = controls_.find(id);
    return it == controls_.end() ? empty : it->second;
  }
  std::map<int, Control> controls_;
};

}  // namespace plat
