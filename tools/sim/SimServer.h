#pragma once
// The device's network module on loopback: a TCP server that carries DeviceSimulator
// packets in frames (0x55, L, destination, packet, checksum), sends the "$HB$" heartbeat,
// turns a second client away with "ISCONNECTED" and can send Z-Wave traffic. It serves
// one client at a time and only ever binds to a 127.0.0.0/8 address.
//
// One thread does all socket work; every wait in it is bounded (at most 100 ms per poll,
// at most 2 s for a send to a client that does not read).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/sim/DeviceSimulator.h"

namespace dsptune {

inline constexpr std::uint16_t kSimDefaultPort = 30303;

struct ServerOptions {
  std::string bindAddress = "127.0.0.1";  // must lie in 127.0.0.0/8
  std::uint16_t port = kSimDefaultPort;   // 0: any free port (see SimServer::Port)
  std::chrono::milliseconds heartbeatInterval{1000};  // 0: never
  std::chrono::milliseconds zwaveInterval{0};         // a Z-Wave Serial API frame this often; 0: never

  // ---- faults ----
  std::chrono::milliseconds silentAfter{-1};  // after this long with a client: no heartbeat, no answers
                                              // (0: from the start; negative: never)
  bool splitBytes = false;                   // every frame written one byte per write
  bool strayBytes = false;                   // a few non-frame bytes written before every frame
  int badChecksumEvery = 0;                  // every Nth frame goes out with a wrong checksum
  int closeAfterCommands = 0;                // the connection is cut after the Nth command (0: never)
  bool busy = false;                         // every client is told "ISCONNECTED" and dropped
  // Every client is told "ISCONNECTED" when it connects and is served all the same, as a
  // module does that another host holds while it still passes frames on.
  bool busyAnswering = false;

  // After a machine reset the device restarts: the connection is dropped (after the
  // reset's answer) and nothing is accepted for this long. 0: the reset only restores
  // the factory state and the connection stays.
  std::chrono::milliseconds restartTime{2000};
};

class SimServer {
 public:
  SimServer(DeviceSimulator& device, ServerOptions options = {});
  ~SimServer();  // Stop()
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds, listens and starts the server thread. False (see LastError) when the address
  // is not a loopback address or the socket cannot be bound.
  bool Start();
  // Closes every socket and joins the thread. Safe to call more than once.
  void Stop();
  // Asks the thread to end without waiting for it (it notices within one poll step), so
  // many servers stopped together take one step, not one each. Stop() still joins.
  void RequestStop() { stop_ = true; }

  std::uint16_t Port() const { return port_.load(); }
  std::string LastError() const;

  bool ClientConnected() const { return clientConnected_.load(); }
  int ClientsAccepted() const { return clientsAccepted_.load(); }
  int ClientsTurnedAway() const { return clientsTurnedAway_.load(); }  // got "ISCONNECTED"
  int HeartbeatsSent() const { return heartbeatsSent_.load(); }
  int HeartbeatEchoes() const { return heartbeatEchoes_.load(); }
  int ZWaveFramesSent() const { return zwaveFramesSent_.load(); }
  int ZWaveAcks() const { return device_.ZWaveAcks(); }
  int FramesSent() const { return framesSent_.load(); }
  int Restarts() const { return restarts_.load(); }  // machine resets played as restarts

  // The Serial API frame sent as Z-Wave traffic (a version request: SOF, length, type,
  // function, checksum).
  static std::vector<std::uint8_t> ZWaveTrafficBytes();

 private:
  void Run();
  void ServeClient(int fd);
  // Binds and listens on the configured address; on success the port is known.
  bool Listen();
  // The machine restarts: nothing listens for the restart time (bounded, stops early on Stop).
  void Restart();
  void CloseListener();
  void SetError(std::string text);

  DeviceSimulator& device_;
  const ServerOptions options_;
  int listenFd_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint16_t> port_{0};
  mutable std::mutex errorMutex_;
  std::string error_;

  std::atomic<bool> clientConnected_{false};
  std::atomic<int> clientsAccepted_{0};
  std::atomic<int> clientsTurnedAway_{0};
  std::atomic<int> heartbeatsSent_{0};
  std::atomic<int> heartbeatEchoes_{0};
  std::atomic<int> zwaveFramesSent_{0};
  std::atomic<int> framesSent_{0};
  std::atomic<int> restarts_{0};
  bool restartDue_ = false;  // server thread only
};

}  // namespace dsptune
