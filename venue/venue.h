#pragma once
// The Rooms window's behaviour: a venue's rooms file opened, edited and
// saved, and the work on its rooms' units (check, verify, back up, restore,
// report), each room in a process of its own of karaoke-ctl, the same engine
// as on a command line, several at once. Every outcome is put in words on
// the room's row; one room failing never stops the others.
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/child_processes.h"
#include "core/ports.h"
#include "venue/rooms_window.h"

namespace kp {

struct VenueEnv {
  std::string programFolder;
  // karaoke-ctl beside the program; without it (or without children) the
  // work cannot run and says so.
  std::string engine;
  ChildProcesses* children = nullptr;
  Dialogs* dialogs = nullptr;
  Desktop* desktop = nullptr;
  // What the port the panel holds open stands for (portChoiceIdentity),
  // empty when it holds none: a room on it is skipped.
  std::function<std::string()> panelPort;
  // Links the panel to the room.
  std::function<void(const Room& room)> linkToRoom;
  // The time of day and the date, for rows and file names: "14:05",
  // "2026-12-09".
  std::function<std::string()> timeOfDay;
  std::function<std::string()> today;
  // The interface language: the engine's names follow it.
  std::function<bool()> english;
};

class Venue {
 public:
  // The texts, in the order of their keys "Rooms_c_1".. (and "_e_").
  enum Text {
    kTitle = 1,
    kOpen,
    kNew,
    kSave,
    kSaveAs,
    kAdd,
    kRemove,
    kCheck,
    kVerify,
    kBackup,
    kRestore,
    kReport,
    kLinkToRoom,
    kStop,
    kJobs,
    kColRoom,
    kColPort,
    kColStandsFor,
    kColReference,
    kColState,
    kColChecked,
    kColProgress,
    kFileName,
    kNoFile,
    kWaiting,
    kAnswers,
    kSame,
    kDiffer,
    kBackedUp,
    kRestored,
    kRestoredDiffer,
    kReportWritten,
    kSkipped,
    kNoReference,
    kNotStarted,
    kSumSame,
    kSumDiffer,
    kSumNoAnswer,
    kSumFailed,
    kSumStopped,
    kSumAnswer,
    kSumDone,
    kAskRestoreReference,
    kConfirmRestore,
    kAskLink,
    kNoEngine,
    kBusy,
    kNewRoom,
    kNoSelection,
    kAskSaveRooms,
    kLongDump,
    kShortDump,
    kReading,
    kSending,
    kTextCount = kSending
  };
  static constexpr int kTexts = kTextCount;

  enum class Action { Check, Verify, Backup, Restore, Report };

  Venue(RoomsWindow& window, VenueEnv env);
  // The engine and where its processes run, where the program has them.
  void setEngine(const std::string& engine, ChildProcesses* children) {
    env_.engine = engine;
    env_.children = children;
  }

  // English texts where none are given; config.ini's for the language.
  void setTexts(const std::array<std::string, kTexts>& texts);
  static const std::array<std::string, kTexts>& englishTexts();

  // The rooms file: read (nothing changes if it cannot be), written.
  bool openFile(const std::string& path);
  bool saveFile(const std::string& path);
  void newFile();
  const std::string& fileName() const { return file_; }
  // Rooms added, removed or edited since the file was opened or saved.
  bool edited() const { return edited_; }
  // Before the rooms are left (another file, a new one, the panel's end):
  // asks whether to save edits not saved yet, and saves them. False when
  // they are still unsaved and should be kept (a save cancelled or failed).
  bool keepEdits();
  // Called when a file has been opened or saved, with its path (the
  // program remembers the last one).
  std::function<void(const std::string& path)> onFileChanged;

  // Runs the action on the selected rooms, or on every room when none is
  // selected. Restore runs the room's reference, or file for all of them.
  void run(Action action, const std::string& file = {});
  // Ends the work under way as the panel's closing does: each room's
  // process unlinks its unit; rooms not yet started are not started.
  void stop();
  bool busy() const { return !jobs_.empty(); }
  std::string summary() const;
  // "The panel is linked. Unlink it and link to room %1?"
  const std::string& linkQuestion() const { return text(kAskLink); }

 private:
  struct Job {
    int row = 0;
    Action action = Action::Check;
    std::vector<std::string> args;
    std::string target;  // the file a backup or report writes
    bool started = false;
    std::string json, summary, error;
    std::vector<std::string> details;
  };
  enum class Verdict { None, Same, Differ, Answer, Done, NoAnswer, Failed, Stopped };

  const std::string& text(int id) const { return texts_[static_cast<std::size_t>(id - 1)]; }
  void wire();
  void applyTexts();
  void setRows(std::vector<Room> rooms);
  std::string shownReference(const Room& room) const;
  std::string baseFolder() const;
  void editCell(int row, int column, const std::string& text);
  void addRoom();
  void removeSelected();
  bool checkRooms(const std::vector<Room>& rooms, std::string* error) const;
  std::vector<int> chosenRows() const;
  bool prepare(Action action, std::string* file, std::string* folder);
  std::optional<Job> jobFor(int row, Action action, const std::string& file,
                            const std::string& folder);
  void startNext();
  void errorLine(int id, const std::string& line);
  void finished(int id, int code, const std::string& why);
  std::string dumpName(const std::string& json) const;
  void settle(RoomRow& row, Verdict verdict, const std::string& state, RowTone tone);
  void refreshSummary();
  void availability();

  RoomsWindow& w_;
  VenueEnv env_;
  std::array<std::string, kTexts> texts_;
  std::string file_;
  std::map<int, Job> jobs_;  // by id, in the order they were planned
  std::vector<Verdict> verdicts_;
  std::vector<std::string> reports_;  // written by the run under way, opened at its end
  int nextId_ = 0;
  bool stopping_ = false;
  bool edited_ = false;
};

}  // namespace kp
