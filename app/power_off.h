#pragma once
// Powering the computer off after a scheduled shutdown: logind's PowerOff
// over the system D-Bus. Behind an interface so that tests record the call.
namespace pw::app {

class PowerOff {
 public:
  virtual ~PowerOff() = default;
  // Asks for the power-off; failures are not reported.
  virtual void power_off() = 0;
};

class LogindPowerOff final : public PowerOff {
 public:
  void power_off() override;
};

}  // namespace pw::app
