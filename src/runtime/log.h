#pragma once
// The diagnostic log stream. Callers build whole lines themselves, usually the
// tick count, a blank, a tag and "\n"; the stream adds nothing.

#include "platform/text.h"

#include <cstdint>

namespace telvara::runtime {

class LogStream {
  public:
    virtual ~LogStream() = default;

    LogStream& operator<<(WStringView text) {
        if (!text.empty())
            write(text);
        return *this;
    }
    LogStream& operator<<(const char16_t* text) {
        return text == nullptr ? *this : *this << WStringView(text);
    }
    LogStream& operator<<(const WString& text) { return *this << WStringView(text); }
    // Numbers in decimal as "%d" / "%ld" print them, formatted without
    // touching the heap.
    LogStream& operator<<(int value) { return number(value); }
    LogStream& operator<<(long value) { return number(value); }
    LogStream& operator<<(long long value) { return number(value); }
    LogStream& operator<<(unsigned value) { return number(value); }
    LogStream& operator<<(unsigned long value) { return unsigned_number(value); }
    LogStream& operator<<(unsigned long long value) { return unsigned_number(value); }

    virtual void flush() = 0;

  protected:
    virtual void write(WStringView text) = 0;

  private:
    LogStream& number(std::int64_t value);
    LogStream& unsigned_number(std::uint64_t value);
};

// The current log: the null log while the DWORD "Log" under
// HKEY_CURRENT_USER\Software\KELMA is 0 or missing, else the file log
// "\Temp\" + application name + ".txt". Never null; cheap when disabled.
// The returned stream stays valid for the whole run, also when another
// thread switches the log off meanwhile (its writes are then dropped).
LogStream& log();

// Closes the file log; the next log() builds the log anew (the device root
// changed).
void reset_log();

// A start that may hand its command line to a running instance shares that
// instance's device root, and so its log file: until it knows it is the
// instance it holds its lines in memory (hold_log), then writes them to a new
// file or drops them (release_log), and never touches the other's file.
enum class HeldLines { Write, Drop };
void hold_log();
void release_log(HeldLines lines);

// --log: the file log on for this process whatever the "Log" setting says,
// without writing the setting, which a running instance reads too.
enum class LogSwitch { BySetting, On };
void set_log_switch(LogSwitch mode);

} // namespace telvara::runtime
