#pragma once
// The program's one clock: milliseconds on a steady clock, the time base of
// frames, timers, time-outs on screen and log lines. A scripted run puts a
// virtual clock in its place, which moves only when the script moves it, so
// that every timer of the program (long presses, the call timer, polling)
// runs the same on every machine.

#include <atomic>
#include <cstdint>

namespace telvara::platform {

// Milliseconds of the program's clock; they never wrap (timers keep them).
std::int64_t clock_ms();
// The same as a tick count: wraps after 49.7 days; callers compare
// differences, which stay right across the wrap.
std::uint32_t tick_count();

// A clock moved by hand. Read from any thread; moved by one.
class VirtualClock {
  public:
    explicit VirtualClock(std::int64_t start_ms = 1000) : m_now(start_ms) {}
    std::uint32_t now() const { return static_cast<std::uint32_t>(m_now.load()); }
    std::int64_t now_ms() const { return m_now.load(); }
    void advance(std::uint32_t ms) { m_now += ms; }

  private:
    std::atomic<std::int64_t> m_now;
};

// While it lives, the program's clock is the given virtual clock (which must
// outlive it); then the steady clock again. One at a time.
class ScopedVirtualClock {
  public:
    explicit ScopedVirtualClock(VirtualClock& clock);
    ~ScopedVirtualClock();
    ScopedVirtualClock(const ScopedVirtualClock&) = delete;
    ScopedVirtualClock& operator=(const ScopedVirtualClock&) = delete;
};

} // namespace telvara::platform
