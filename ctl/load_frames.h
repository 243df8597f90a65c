#pragma once
// Names the frames of a linked load by the parameter each sets, so that a
// restore can say which settings the unit never confirmed and a dry run can
// list what a restore sends. A load sends each user slot's values and then
// the store command of that slot, so the slot of a value is the number of
// the channel's store commands that went before it.
#include <string>
#include <vector>

#include "core/bytes.h"
#include "presets/preset_compare.h"

namespace kp::ctl {

class LoadFrames {
 public:
  explicit LoadFrames(ParameterTexts texts) : texts_(std::move(texts)) {}

  // A new load begins.
  void reset();
  // The name and value of the next frame of the load, e.g.
  // "Music RAM2 1.25k = +3"; a store command counts for the frames after it.
  std::string describe(const Bytes& frame);
  // Bytes the load wrote: true for a command frame sent for the first time
  // (a frame sent again is the one before it once more; acknowledgements
  // are single bytes).
  bool written(const Bytes& bytes);
  // One frame's wait has ended; unconfirmedNow is the transmitter's count
  // of frames the unit never took. The frame last written raised it.
  void stepEnded(int unconfirmedNow);
  const std::vector<std::string>& unconfirmed() const { return unconfirmed_; }
  // The name of the frame written last.
  const std::string& lastName() const { return lastName_; }

 private:
  std::string name(std::uint8_t address, std::uint8_t value) const;

  ParameterTexts texts_;
  int musicStores_ = 0;
  int micStores_ = 0;
  int unconfirmedSeen_ = 0;
  Bytes lastFrame_;
  std::string lastName_;
  std::vector<std::string> unconfirmed_;
};

}  // namespace kp::ctl
