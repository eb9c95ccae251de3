#pragma once

#include <functional>

#include <QObject>

namespace norvalis {

// While it lives, Esc anywhere in the program calls `cancel` instead of reaching a widget: a
// long search or a load waiting for a pipe stops at it.
class TEscapeCancels : public QObject {
 public:
  explicit TEscapeCancels(std::function<void()> cancel);
  ~TEscapeCancels() override;
  TEscapeCancels(const TEscapeCancels&) = delete;
  TEscapeCancels& operator=(const TEscapeCancels&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> cancel_;
};

}  // namespace norvalis
