#pragma once
// Test access to the engine's internals: the shared flags, the transfer stream, the pacer,
// the request in flight and the raw request calls. For tests and benchmarks only; a front
// end uses Engine's public interface and the events of IEngineUi.

#include <cstdint>
#include <span>

#include "engine/engine.h"

namespace ql::engine {

class EngineTestAccess {
 public:
  // `engine` must outlive the accessor.
  explicit EngineTestAccess(Engine& engine) : e_(engine) {}

  link::SharedFlags& Flags() { return e_.flags_; }
  // The transfers' input, for tests that move a virtual clock while a worker waits.
  link::TransferStream& Stream() { return e_.stream_; }
  link::FramePacer& Pacer() { return e_.pacer_; }
  bool TransferAborted() const { return e_.stream_.AbortRequested(); }
  // The code of the request in flight, 0 when none.
  std::uint8_t LastCommand() const { return e_.lastCommand_; }
  bool FirmwareUploadRunning() const { return e_.firmwareWorker_.joinable(); }
  bool LogSaveRunning() const { return e_.logRunActive_; }

  void SendCommand(std::uint8_t code, std::span<const std::uint8_t> payload) {
    e_.SendCommand(code, payload);
  }
  void StopTransmitter() { e_.StopTransmitter(); }

 private:
  Engine& e_;
};

}  // namespace ql::engine
