#include "devicepanel.h"

#include <algorithm>

#include "devicerules.h"

int HitButton(int x, int y) {
  for (int i = 0; i < 4; ++i)
    if (panel::kButtons[i].Moved(-panel::kDevice.x, -panel::kDevice.y).Contains(x, y)) return i;
  return -1;
}

bool HitLcd(int x, int y) { return panel::kLcd.Moved(-panel::kDevice.x, -panel::kDevice.y).Contains(x, y); }

bool TPanelPointers::Down(int pointer, int x, int y) {
  Up(pointer);  // a pointer cannot go down twice; take the first as released
  const int index = HitButton(x, y);
  down_.emplace_back(pointer, index);
  pressedIndex_ = index;
  if (index >= 0) {
    shown_ |= 1u << index;
    buttons_.Press(static_cast<std::int16_t>(index + 1));
  }
  return HitLcd(x, y);
}

void TPanelPointers::Up(int pointer) {
  const auto it = std::find_if(down_.begin(), down_.end(), [&](const auto& d) { return d.first == pointer; });
  if (it == down_.end()) return;
  const int index = it->second;
  down_.erase(it);
  // The pictures of the pointers still down stay; the last release hides all.
  shown_ = 0;
  for (const auto& d : down_)
    if (d.second >= 0) shown_ |= 1u << d.second;
  if (index >= 0 && shown_ == 0) buttons_.Release();
}

void TPanelPointers::CancelAll() {
  while (!down_.empty()) Up(down_.back().first);
}
