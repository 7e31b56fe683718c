#pragma once
// The diagnostic log stream. Callers build whole lines themselves, usually the
// tick count, a blank, a tag and "\n"; the stream adds nothing.

#include "platform/text.h"

#include <cstdint>

namespace telvara::app {

class LogStream {
public:
    virtual ~LogStream() = default;

    LogStream& operator<<(WStringView text) {
        if (!text.empty())
            write(text);
        return *this;
    }
    LogStream& operator<<(const char16_t* text) { return *this << WStringView(text); }
    LogStream& operator<<(const WString& text) { return *this << WStringView(text); }
    LogStream& operator<<(int value) { return *this << to_wstring(value); }
    LogStream& operator<<(long value) { return *this << to_wstring(value); }
    LogStream& operator<<(long long value) { return *this << to_wstring(value); }
    LogStream& operator<<(unsigned value) { return *this << to_wstring(value); }

    virtual void flush() = 0;

protected:
    virtual void write(WStringView text) = 0;
};

// The current log: the null log while the DWORD "Log" under
// HKEY_CURRENT_USER\Software\KELMA is 0 or missing, else the file log
// "\Temp\" + application name + ".txt". Never null; cheap when disabled.
LogStream& log();

} // namespace telvara::app
