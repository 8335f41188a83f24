#pragma once

#include <QString>

// The name, maker and version under which the program keeps its settings and
// introduces itself in logs, window titles and the About box.
namespace AppIdentity {
extern const char* const APPLICATION_NAME;
extern const char* const ORGANIZATION_NAME;
extern const char* const APPLICATION_VERSION;

// Sets the identity on the running Q(Core)Application. Must run before
// anything opens the settings store.
void apply();
} // namespace AppIdentity
