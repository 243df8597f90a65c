#pragma once
// comm::Driver on the Windows communications API: one overlapped device,
// each operation's OVERLAPPED, buffer and manual-reset event on the heap,
// watched by a QWinEventNotifier. The logic of when to call what lives in
// link/transport/comm_port.h.
#include <windows.h>

#include <QObject>
#include <array>
#include <memory>

#include "link/transport/comm_driver.h"

class QWinEventNotifier;

class WinCommDriver : public QObject, public kp::comm::Driver {
 public:
  explicit WinCommDriver(QObject* parent = nullptr);
  ~WinCommDriver() override;

  std::uint32_t openDevice(const std::string& path) override;
  std::uint32_t getLine(kp::comm::LineControl& line) override;
  std::uint32_t setLine(const kp::comm::LineControl& line) override;
  std::uint32_t prepare() override;
  void closeDevice() override;
  bool present(const std::string& name) override;
  std::string errorText(std::uint32_t code) override;

  kp::comm::Result startWait() override;
  kp::comm::Result startWrite(const std::uint8_t* data, std::size_t n) override;
  kp::comm::Result result(kp::comm::Op op) override;
  kp::comm::Result await(kp::comm::Op op, int maxMs) override;
  void cancel(kp::comm::Op op) override;
  void abandon(kp::comm::Op op) override;
  void resetSignal(kp::comm::Op op) override;
  void watch(kp::comm::Op op, bool on) override;

  kp::comm::Status status() override;
  kp::comm::ReadResult read(std::uint8_t* out, std::size_t n) override;
  void purgeInput() override;

 private:
  // What the driver may still touch after the call that started an
  // operation: kept until it has ended, and left to the driver if it never does.
  struct IoBlock {
    OVERLAPPED io{};
    DWORD mask = 0;
    std::vector<std::uint8_t> data;
    ~IoBlock();
  };
  struct Slot {
    std::unique_ptr<IoBlock> block;
    QWinEventNotifier* notifier = nullptr;
    bool watched = false;
  };
  Slot& slot(kp::comm::Op op) { return op == kp::comm::Op::Wait ? slots_[0] : slots_[1]; }
  std::uint32_t makeSlot(kp::comm::Op op);
  void dropSlot(kp::comm::Op op, bool leak);
  kp::comm::Result overlappedResult(IoBlock& block, kp::comm::Op op);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::array<Slot, 2> slots_{};
  std::unique_ptr<IoBlock> readBlock_;
};
