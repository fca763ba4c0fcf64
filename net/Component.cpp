#include "net/Component.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "net/StackSockets.h"
#include "platform/Errors.h"

namespace quillet {
namespace {

// The live components and the stack they share; the count and the stack's
// creation and release change together under the lock.
std::mutex componentGuard;
int32_t liveComponents = 0;
std::unique_ptr<TQlStack> ownedStack;
std::atomic<TQlStack*> currentStack{nullptr};

constexpr const char* kStatusTexts[] = {
    "Resolving hostname %s.", "Connecting to %s.", "Connected.", "Disconnecting.",
    "Disconnected.", "%s", "%s", "%s", "%s"};

// Fills each "%s" with the next argument, an empty text when they run out.
std::string FormatStatus(const char* format, const std::vector<std::string>& args) {
  std::string text;
  size_t next = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      if (next < args.size()) text += args[next];
      ++next;
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

}  // namespace

const char* StatusText(TQlStatus status) { return kStatusTexts[static_cast<int>(status)]; }

TQlStack& SocketStack() {
  TQlStack* stack = currentStack.load();
  if (stack == nullptr) throw EQlStackError("The socket stack is not running: no network component exists.");
  return *stack;
}

TQlComponent::TQlComponent() {
  std::lock_guard lock(componentGuard);
  if (liveComponents == 0) {
    ownedStack = std::make_unique<TQlStackSockets>();
    currentStack.store(ownedStack.get());
  }
  ++liveComponents;
}

TQlComponent::~TQlComponent() {
  std::lock_guard lock(componentGuard);
  if (--liveComponents == 0) {
    currentStack.store(nullptr);
    ownedStack.reset();
  }
}

void TQlComponent::ReportStatus(TQlStatus status, const std::vector<std::string>& args) {
  if (!onStatus_) return;
  onStatus_(*this, status, FormatStatus(StatusText(status), args));
}

void TQlComponent::BeginProgress(TWorkMode mode, int32_t total) {
  WorkRecord& work = Work(mode);
  if (++work.nesting != 1) return;
  work.expected = total;
  work.running = 0;
  if (onWorkBegin_) onWorkBegin_(*this, mode, total);
}

void TQlComponent::AddProgress(TWorkMode mode, int32_t count) {
  WorkRecord& work = Work(mode);
  if (work.nesting < 1) return;
  // Wraps like the 32-bit counter it is instead of overflowing.
  work.running = static_cast<int32_t>(static_cast<uint32_t>(work.running) + static_cast<uint32_t>(count));
  if (onWork_) onWork_(*this, mode, work.running);
}

void TQlComponent::EndProgress(TWorkMode mode) {
  WorkRecord& work = Work(mode);
  if (work.nesting == 1 && onWorkEnd_) onWorkEnd_(*this, mode);
  --work.nesting;
}

}  // namespace quillet
