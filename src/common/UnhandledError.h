#pragma once

#include "KoraError.h"

#include <exception>

#include <functional>

// Handlers without recovery of their own (start-up, the port notification with everything it
// calls) pass their failure here. The application installs the handler that reports the error
// and ends the program; tests install one that records it.
namespace UnhandledError {
using Handler = std::function<void(const KoraError&)>;

void install(Handler handler);
void raise(const KoraError& error);

KoraError internalError(const std::exception& error);

struct NothingFirst {
    void operator()() const {}
};

// Runs a handler body and sends any failure to raise(), after running beforeRaise, which
// settles what must not go on while the error is reported. Returns false when it failed.
// A template: it wraps every sensor line, where building two std::functions shows.
template <typename Body, typename BeforeRaise = NothingFirst>
bool guard(Body&& body, BeforeRaise&& beforeRaise = {})
{
    try {
        body();
        return true;
    } catch (const KoraError& error) {
        beforeRaise();
        raise(error);
    } catch (const std::exception& error) {
        beforeRaise();
        raise(internalError(error));
    }
    return false;
}
} // namespace UnhandledError
