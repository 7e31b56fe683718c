#pragma once
// Reading UTF-16 text as code points for the font code: a surrogate pair is
// one character, a lone surrogate shows as U+FFFD.

#include "platform/text.h"

#include <cstddef>

namespace telvara::ui {

class CodePointReader {
  public:
    explicit CodePointReader(WStringView text) : m_text(text) {}

    bool done() const { return m_at >= m_text.size(); }
    // Code units read so far.
    std::size_t offset() const { return m_at; }

    char32_t next() {
        const char32_t c = m_text[m_at++];
        if (c < 0xD800 || c >= 0xE000)
            return c;
        if (c < 0xDC00 && m_at < m_text.size() && m_text[m_at] >= 0xDC00 && m_text[m_at] < 0xE000)
            return 0x10000 + ((c - 0xD800) << 10) + (m_text[m_at++] - 0xDC00);
        return 0xFFFD;
    }

  private:
    WStringView m_text;
    std::size_t m_at = 0;
};

} // namespace telvara::ui
