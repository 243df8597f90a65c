#include "core/models.h"

#include <algorithm>

namespace kp {

std::optional<int> Control::tagNumber() const {
  if (Tag.empty() || Tag.size() > 3) return std::nullopt;
  int v = 0;
  for (char c : Tag) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v > 255) return std::nullopt;  // a frame's address is one byte
  return v;
}

void Control::setEnabled(bool on) { setShown(enabled_, on); }

void Control::setCaption(const std::string& text) { setShown(caption_, text); }

void Control::setAccessibleName(const std::string& name) { setShown(accessibleName_, name); }

Slider::Slider(int min, int max)
    : min_(min), max_(max), limit_(max), value_(std::clamp(0, min, max)) {}

bool Slider::setValue(int v) {
  if (v < min_ || v > max_) return false;
  if (v == value_) return true;
  value_ = v;
  viewChanged();
  if (onChange) onChange();
  return true;
}

void Slider::operatorSet(int v) {
  if (!enabled()) return;
  hand(Hand::Begin);
  setValue(std::clamp(v, min_, std::max(min_, limit_)));
  hand(Hand::End);
}

void Slider::setUpperLimit(int limit) {
  limit = std::clamp(limit, min_, max_);
  if (limit == limit_) return;
  limit_ = limit;
  viewChanged();
}

void ListBox::clear() {
  items_.clear();
  index_ = -1;
  viewChanged();
}

void ListBox::addItem(const std::string& text) {
  items_.push_back(text);
  viewChanged();
}

void ListBox::setItems(const std::vector<std::string>& items) {
  items_ = items;
  index_ = -1;
  viewChanged();
}

bool ListBox::setIndex(int i) {
  if (i < -1 || i >= static_cast<int>(items_.size())) return false;
  if (i == index_) return true;
  index_ = i;
  viewChanged();
  if (onChange) onChange();
  return true;
}

void ListBox::operatorSelect(int i) {
  if (!enabled()) return;
  hand(Hand::Begin);
  setIndex(i);
  hand(Hand::End);
}

SpinButton::SpinButton(int min, int max, int value)
    : min_(min), max_(max), value_(std::clamp(value, min, max)) {}

bool SpinButton::setValue(int v) {
  if (v < min_ || v > max_) return false;
  if (v == value_) return true;
  value_ = v;
  viewChanged();
  if (onChange) onChange();
  return true;
}

void SpinButton::operatorStep(int delta) {
  if (!enabled()) return;
  hand(Hand::Begin);
  setValue(std::clamp(value_ + delta, min_, max_));
  hand(Hand::End);
}

void SpinButton::setDesign(int min, int max, int value) {
  min_ = min;
  max_ = std::max(min, max);
  value_ = std::clamp(value, min_, max_);
  viewChanged();
}

void Button::setBackColor(std::uint32_t colour) { setShown(backColor_, colour); }

void Button::setPicture(const std::string& path) { setShown(picture_, path); }

void Button::click() {
  if (!enabled() || !onClick) return;
  hand(Hand::Begin);
  onClick();
  hand(Hand::End);
}

void ProgressBar::setMaximum(int maximum) {
  maximum = std::max(0, maximum);
  if (maximum == maximum_) return;
  maximum_ = maximum;
  value_ = std::min(value_, maximum_);
  viewChanged();
}

void ProgressBar::setValue(int value) { setShown(value_, std::clamp(value, 0, maximum_)); }

void ProgressBar::setVisible(bool on) { setShown(visible_, on); }

void OptionButton::setChecked(bool on) { setShown(checked_, on); }

void TextBox::setText(const std::string& text) { setShown(text_, text); }

void Window::load() {
  if (loaded_) return;
  loaded_ = true;
  onLoad();
  viewChanged();
}

void Window::show() {
  load();
  if (!loaded_ || visible_) return;  // a load step may have closed it again
  visible_ = true;
  viewChanged();
}

void Window::hide() {
  if (!visible_) return;
  visible_ = false;
  viewChanged();
}

void Window::unload() {
  if (!loaded_) return;
  loaded_ = false;
  visible_ = false;
  enabled_ = true;
  onUnload();
  viewChanged();
}

void Window::setEnabled(bool on) { setShown(enabled_, on); }

void Window::setCaption(const std::string& text) { setShown(caption_, text); }

}  // namespace kp
