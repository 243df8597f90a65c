#pragma once
// Control models: the toolkit-free state of every control the program uses.
//
// The one rule all of them share: a model runs its change handler synchronously
// on every change of its value, whether the operator or code made it, before
// the setter returns; assigning the value a model already holds runs nothing.
// A disabled model ignores operator input but still accepts values from code.
// Views (ui/) redraw from a model when its view hook fires and turn operator
// input into the operator* calls, so there is one path from a change to its
// handling.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kp {

// What every model shares with its view: the hook the view redraws on.
class ViewedModel {
 public:
  virtual ~ViewedModel() = default;

  // Fired after any property a view shows has changed (value, caption,
  // enabled state, limits, colours, entries).
  std::function<void()> onViewChanged;

 protected:
  void viewChanged() const {
    if (onViewChanged) onViewChanged();
  }
  // Sets a property the view shows; the value it already has changes nothing.
  template <class T, class V>
  void setShown(T& field, const V& value) {
    if (field == value) return;
    field = value;
    viewChanged();
  }
};

class Control : public ViewedModel {
 public:
  bool enabled() const { return enabled_; }
  void setEnabled(bool on);

  const std::string& caption() const { return caption_; }
  void setCaption(const std::string& text);

  // The unit address a control sends under, as decimal text; read it with
  // tagNumber().
  std::string Tag;
  // The Tag as a number: nullopt for a Tag that is empty, is not plain
  // decimal digits, or is beyond any unit address.
  std::optional<int> tagNumber() const;

  // Where the view has placed it inside its window, in twips.
  int left = 0, top = 0, width = 0, height = 0;

  // What screen readers and UI automation call it; it follows the language.
  const std::string& accessibleName() const { return accessibleName_; }
  void setAccessibleName(const std::string& name);

  // The operator's hand on the control, for the operator's undo history.
  // Begin and End bracket every operator input with all of its handling;
  // Press and Release bracket a gesture that holds the control (a drag, a
  // held key or arrow button), whose inputs make one change together.
  enum class Hand { Press, Begin, End, Release };
  std::function<void(Hand)> onHand;
  void operatorPress() { hand(Hand::Press); }
  void operatorRelease() { hand(Hand::Release); }

 protected:
  void hand(Hand h) {
    if (onHand) onHand(h);
  }

 private:
  bool enabled_ = true;
  std::string caption_;
  std::string accessibleName_;
};

// A vertical level or equaliser slider. Code may set any value of the design
// range; the operator reaches only up to the run-time upper limit.
class Slider : public Control {
 public:
  Slider(int min = -15, int max = 15);

  int value() const { return value_; }
  // From code. A value outside the design range changes nothing and returns
  // false, so callers can report or skip it.
  bool setValue(int v);
  // From the operator: ignored while disabled, held within min..upperLimit.
  void operatorSet(int v);

  int min() const { return min_; }
  int max() const { return max_; }
  int upperLimit() const { return limit_; }
  // Lowers or raises the largest value the operator can reach (held within the
  // design range). The current value is left as it is.
  void setUpperLimit(int limit);

  // Where the value it is compared with stands, drawn as a small mark on
  // the slider; none when there is nothing to compare with or no difference.
  const std::optional<int>& mark() const { return mark_; }
  void setMark(std::optional<int> mark) { setShown(mark_, mark); }

  std::function<void()> onChange;

 private:
  int min_, max_, limit_, value_;
  std::optional<int> mark_;
};

// A drop-down list; the selection index is its value, -1 for no selection.
class ListBox : public Control {
 public:
  const std::vector<std::string>& items() const { return items_; }
  // Clearing leaves no selection and runs no change handler.
  void clear();
  void addItem(const std::string& text);
  void setItems(const std::vector<std::string>& items);

  int index() const { return index_; }
  // From code: -1 clears the selection; an index the list does not hold
  // changes nothing and returns false.
  bool setIndex(int i);
  void operatorSelect(int i);

  std::function<void()> onChange;

 private:
  std::vector<std::string> items_;
  int index_ = -1;
};

class SpinButton : public Control {
 public:
  SpinButton(int min = 0, int max = 100, int value = 0);
  int value() const { return value_; }
  int min() const { return min_; }
  int max() const { return max_; }
  // From code; outside min..max changes nothing and returns false.
  bool setValue(int v);
  // Operator's arrow: +1 or -1, stopping at the ends.
  void operatorStep(int delta);
  // Back to a design state, as a freshly created window has it: runs no
  // change handler.
  void setDesign(int min, int max, int value);

  std::function<void()> onChange;

 private:
  int min_, max_, value_;
};

// A push button; graphical ones carry a background colour and a picture file.
class Button : public Control {
 public:
  // The system's button-face colour, as the original toolkit encodes it.
  static constexpr std::uint32_t kButtonFace = 0x8000000F;

  std::uint32_t backColor() const { return backColor_; }
  void setBackColor(std::uint32_t colour);
  const std::string& picture() const { return picture_; }
  // A path to an image file; the view shows nothing when it cannot load it.
  void setPicture(const std::string& path);

  void click();  // from the operator: ignored while disabled
  std::function<void()> onClick;

 private:
  std::uint32_t backColor_ = kButtonFace;
  std::string picture_;
};

// A button that stays down while what it switches is on.
class ToggleButton : public Button {
 public:
  bool checked() const { return checked_; }
  void setChecked(bool on) { setShown(checked_, on); }

 private:
  bool checked_ = false;
};

class Label : public Control {};

// How far a piece of work has come: value out of maximum, never beyond it.
// The caption is the text drawn on the bar; a hidden bar takes no room.
class ProgressBar : public Control {
 public:
  int value() const { return value_; }
  int maximum() const { return maximum_; }
  // A maximum below 0 counts as 0; the value is held within the new range.
  void setMaximum(int maximum);
  void setValue(int value);
  bool visible() const { return visible_; }
  void setVisible(bool on);

 private:
  int value_ = 0;
  int maximum_ = 0;
  bool visible_ = false;
};

// An option button of a group: selecting one is the caller's business.
class OptionButton : public Control {
 public:
  bool checked() const { return checked_; }
  void setChecked(bool on);

 private:
  bool checked_ = false;
};

class TextBox : public Control {
 public:
  const std::string& text() const { return text_; }
  void setText(const std::string& text);
  // Text currently selected by the operator, as a [start, start+length) range
  // in bytes; the view keeps it up to date.
  int selectionLength = 0;
  bool password = false;
  // Runs for each typed character before it enters the box; false rejects it.
  std::function<bool(char32_t)> keyFilter;

 private:
  std::string text_;
};

// A window: created (loaded) on first use, shown or hidden, enabled as a whole.
class Window : public ViewedModel {
 public:
  bool loaded() const { return loaded_; }
  bool visible() const { return visible_; }
  bool enabled() const { return enabled_; }

  // Creates the window without showing it; its load step runs once.
  void load();
  // Creates it if need be and shows it (not modal).
  void show();
  void hide();
  // Closes and discards it: the next load starts from the design state.
  void unload();
  void setEnabled(bool on);

  const std::string& caption() const { return caption_; }
  void setCaption(const std::string& text);

  // Position on the screen in twips (1/1440 inch).
  int left = 0;
  int top = 0;

 protected:
  // The window's own load step and the reset of its controls to design state.
  virtual void onLoad() {}
  virtual void onUnload() {}

 private:
  bool loaded_ = false;
  bool visible_ = false;
  bool enabled_ = true;
  std::string caption_;
};

}  // namespace kp
