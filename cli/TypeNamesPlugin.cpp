// The type names as a module that vantrel-cli loads on first use: the
// desktop's MIME database comes with the Qt library, whose start-up costs
// every command several milliseconds even when no type is ever asked for.
#include "TypeNames.h"

extern "C" __attribute__((visibility("default"))) void* vantrelMakeTypeNames() {
    return new vantrel::TypeNameProvider(vantrel::qtsupport::mimeTypeNames());
}
