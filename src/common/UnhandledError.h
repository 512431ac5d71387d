#pragma once

#include "KoraError.h"

#include <functional>

// Handlers without recovery of their own (start-up, the port notification with everything it
// calls) pass their failure here. The application installs the handler that reports the error
// and ends the program; tests install one that records it.
namespace UnhandledError {
using Handler = std::function<void(const KoraError&)>;

void install(Handler handler);
void raise(const KoraError& error);

// Runs a handler body and sends any failure to raise(), after running beforeRaise, which
// settles what must not go on while the error is reported. Returns false when it failed.
bool guard(const std::function<void()>& body, const std::function<void()>& beforeRaise = {});
} // namespace UnhandledError
