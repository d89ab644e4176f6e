#include "sim/bridge_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "platform/nt/bridge_wire.h"

namespace sim {
namespace {

// Sent by the server to its own thread: the thread ends.
constexpr uint32_t kStopServing = 0;

bool ReadAll(int fd, void* bytes, size_t length) {
  auto* to = static_cast<uint8_t*>(bytes);
  while (length > 0) {
    const ssize_t got = read(fd, to, length);
    if (got <= 0) return false;
    to += got;
    length -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const void* bytes, size_t length) {
  const auto* from = static_cast<const uint8_t*>(bytes);
  while (length > 0) {
    const ssize_t put = write(fd, from, length);
    if (put <= 0) return false;
    from += put;
    length -= static_cast<size_t>(put);
  }
  return true;
}

int OpenPipe(const std::filesystem::path& path) {
  std::filesystem::remove(path);
  if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + path.string());
  // Read and write: opening does not wait for the other end, and a driver
  // that closes its end and opens it again finds the pipe as it was.
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  return fd;
}

}  // namespace

BridgeServer::BridgeServer(const std::filesystem::path& directory)
    : requestsPath_(directory / DIMMIO_BRIDGE_REQUESTS),
      repliesPath_(directory / DIMMIO_BRIDGE_REPLIES) {
  std::filesystem::create_directories(directory);
  requestsFd_ = OpenPipe(requestsPath_);
  repliesFd_ = OpenPipe(repliesPath_);
  thread_ = std::thread([this] { Run(); });
}

BridgeServer::~BridgeServer() {
  const bridge::Request stop{kStopServing, 0, 0, 0, 0};
  WriteAll(requestsFd_, &stop, sizeof stop);
  thread_.join();
  close(requestsFd_);
  close(repliesFd_);
  std::filesystem::remove(requestsPath_);
  std::filesystem::remove(repliesPath_);
}

void BridgeServer::Serve(Machine* machine) {
  std::lock_guard<std::mutex> guard(lock_);
  machine_ = machine;
}

void BridgeServer::Run() {
  while (Answer()) {
  }
}

bool BridgeServer::Answer() {
  bridge::Request request{};
  if (!ReadAll(requestsFd_, &request, sizeof request) || request.op == kStopServing) return false;
  std::vector<uint8_t> payload(std::min(request.length, bridge::kMaxPayload));
  if (!ReadAll(requestsFd_, payload.data(), payload.size())) return false;
  ++requests_;

  std::lock_guard<std::mutex> guard(lock_);
  bridge::Reply reply{0xFFFFFFFFu, 0};
  std::vector<uint8_t> answer;
  Machine* m = machine_;
  const auto port = static_cast<uint16_t>(request.a);
  switch (m == nullptr ? kStopServing : request.op) {
    case bridge::kPortRead8: reply.value = m->In8(port); break;
    case bridge::kPortRead16: reply.value = m->In16(port); break;
    case bridge::kPortWrite8:
      m->Out8(port, static_cast<uint8_t>(request.b));
      reply.value = 0;
      break;
    case bridge::kPortWrite16:
      m->Out16(port, static_cast<uint16_t>(request.b));
      reply.value = 0;
      break;
    case bridge::kPciRead:
      answer = payload;
      reply.value = m->GetPciData(request.a, request.b, answer.data(), request.c,
                                  static_cast<uint32_t>(answer.size()));
      break;
    case bridge::kPciWrite:
      reply.value = m->SetPciData(request.a, request.b, payload.data(), request.c,
                                  static_cast<uint32_t>(payload.size()));
      break;
    case bridge::kMapRead: {
      const uint32_t length = std::min(request.b, bridge::kMaxPayload);
      void* mapped = m->Map(request.a, length);
      reply.value = mapped != nullptr ? 1 : 0;
      if (mapped != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(mapped);
        answer.assign(bytes, bytes + length);
        m->Unmap(mapped, length);
      }
      break;
    }
    case bridge::kDelay:
      m->Delay(static_cast<int32_t>(request.a));
      reply.value = 0;
      break;
    default:
      // No machine, or a request this server does not know: all ones, and a
      // configuration read delivers nothing.
      if (request.op == bridge::kPciRead || request.op == bridge::kPciWrite) reply.value = 0;
      if (request.op == bridge::kMapRead) reply.value = 0;
      break;
  }
  reply.length = static_cast<uint32_t>(answer.size());
  return WriteAll(repliesFd_, &reply, sizeof reply) &&
         WriteAll(repliesFd_, answer.data(), answer.size());
}

}  // namespace sim
