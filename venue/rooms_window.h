#pragma once
// The Rooms window's controls: the venue's rooms file as a table, one row
// per room, the actions on all rooms or the selected ones, and a summary.
// Its behaviour is the venue's (venue.h).
#include <functional>
#include <string>
#include <vector>

#include "core/models.h"
#include "venue/rooms_file.h"

namespace kp {

// How a row's state reads at a glance.
enum class RowTone { Plain, Busy, Good, Differs, Failed };

struct RoomRow {
  Room room;
  std::string standsFor;  // what its port stands for on this machine
  std::string reference;  // its reference file as the rooms file names it
  std::string state;      // in words: "same", "no answer", ...
  RowTone tone = RowTone::Plain;
  std::string checkedAt;    // when work on it last ended: "14:05"
  bool busy = false;        // work waits or runs on it
  int done = 0, total = 0;  // how far that work has come
  // What the last work said beyond the state: the differences of a verify
  // ("Music RAM2 1.25k: file +3, unit 0"), the engine's own summary.
  std::vector<std::string> details;
  bool selected = false;
};

class RoomsWindow : public Window {
 public:
  RoomsWindow() { onUnload(); }

  Button Open1, New1, Save1, SaveAs1, Add1, Remove1;
  Button Check1, Verify1, Backup1, Restore1, Report1, LinkRoom1, Stop1;
  SpinButton Jobs1{0, 64, 0};  // rooms at once; 0: all of them
  Label JobsLabel, FileLabel, Summary;
  // The table's column headings, in order.
  std::vector<std::string> headings;

  std::vector<RoomRow> rows;
  // A row changed (its index), or the table as a whole (-1): rows added,
  // removed or reordered, headings renamed.
  std::function<void(int row)> onRowsChanged;
  void rowChanged(int row) {
    if (onRowsChanged) onRowsChanged(row);
  }

  // The operator's editing of a row's cells: the room's name, its port and
  // its reference file (column 0, 1 and 3). The behaviour checks it.
  std::function<void(int row, int column, const std::string& text)> onCellEdited;
  // A double click on a row: link to that room.
  std::function<void(int row)> onActivated;

 protected:
  void onUnload() override { rows.clear(); }
};

}  // namespace kp
