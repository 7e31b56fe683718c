// Placeholder: the null log until the file log lands.
#include "app/log.h"

namespace telvara::app {

namespace {
class NullLog final : public LogStream {
public:
    void flush() override {}

protected:
    void write(WStringView) override {}
};
} // namespace

LogStream& log() {
    static NullLog null_log;
    return null_log;
}

} // namespace telvara::app
