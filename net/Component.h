#pragma once
// Base of every network component: status texts and work (progress)
// notifications. While at least one component lives, the process-wide socket
// stack exists.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

enum class TQlStatus {
  hsResolving, hsConnecting, hsConnected, hsDisconnecting, hsDisconnected,
  hsStatusText, ftpTransfer, ftpReady, ftpAborted
};
enum class TWorkMode { wmRead, wmWrite };

class TQlComponent {
 public:
  using StatusEvent = std::function<void(TQlComponent& sender, TQlStatus status, const std::string& text)>;
  using WorkBeginEvent = std::function<void(TQlComponent& sender, TWorkMode mode, int32_t total)>;
  using WorkEvent = std::function<void(TQlComponent& sender, TWorkMode mode, int32_t count)>;
  using WorkEndEvent = std::function<void(TQlComponent& sender, TWorkMode mode)>;

  TQlComponent();
  virtual ~TQlComponent();
  TQlComponent(const TQlComponent&) = delete;
  TQlComponent& operator=(const TQlComponent&) = delete;

  const StatusEvent& OnStatus() const { return onStatus_; }
  void SetOnStatus(StatusEvent handler) { onStatus_ = std::move(handler); }
  void SetOnWorkBegin(WorkBeginEvent handler) { onWorkBegin_ = std::move(handler); }
  void SetOnWork(WorkEvent handler) { onWork_ = std::move(handler); }
  void SetOnWorkEnd(WorkEndEvent handler) { onWorkEnd_ = std::move(handler); }

  // Formats the status's text with the arguments only when OnStatus is set.
  void ReportStatus(TQlStatus status, const std::vector<std::string>& args = {});

  virtual void BeginProgress(TWorkMode mode, int32_t total);
  virtual void AddProgress(TWorkMode mode, int32_t count);
  virtual void EndProgress(TWorkMode mode);

 private:
  struct WorkRecord {
    int32_t nesting = 0;
    int32_t expected = 0;
    int32_t running = 0;
  };
  WorkRecord& Work(TWorkMode mode) { return work_[mode == TWorkMode::wmRead ? 0 : 1]; }

  StatusEvent onStatus_;
  WorkBeginEvent onWorkBegin_;
  WorkEvent onWork_;
  WorkEndEvent onWorkEnd_;
  WorkRecord work_[2];
};

// The status text of one status value ("Resolving hostname %s." ...).
const char* StatusText(TQlStatus status);

}  // namespace quillet
