#include "ui/confirm/countdown_ticker.h"

namespace pw::ui {

SecondTicker::SecondTicker() {
  timer_.setInterval(1000);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
    if (tick_) tick_();
  });
}

void SecondTicker::start(std::function<void()> tick) {
  tick_ = std::move(tick);
  timer_.start();
}

}  // namespace pw::ui
