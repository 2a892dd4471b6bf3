#pragma once
// What drives a window's countdown: a one-second timer in the program; in
// tests a ticker the test fires by hand, so no test waits for seconds.
#include <QTimer>

#include <functional>

namespace pw::ui {

class CountdownTicker {
 public:
  virtual ~CountdownTicker() = default;
  // Calls `tick` once a second until stopped.
  virtual void start(std::function<void()> tick) = 0;
  virtual void stop() = 0;
  [[nodiscard]] virtual bool active() const = 0;
};

class SecondTicker final : public CountdownTicker {
 public:
  SecondTicker();
  void start(std::function<void()> tick) override;
  void stop() override { timer_.stop(); }
  [[nodiscard]] bool active() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
  std::function<void()> tick_;
};

}  // namespace pw::ui
