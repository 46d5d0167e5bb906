#include "platform/Resources.h"

#include <QtGlobal>

static void registerCompiledResources() {
    Q_INIT_RESOURCE(resources);
}

namespace platform {
void initResources() {
    static const bool done = (registerCompiledResources(), true);
    Q_UNUSED(done);
}
} // namespace platform
