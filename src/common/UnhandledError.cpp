#include "UnhandledError.h"

#include <cstdio>
#include <cstdlib>

namespace {
UnhandledError::Handler& installedHandler()
{
    static UnhandledError::Handler handler;
    return handler;
}
} // namespace

void UnhandledError::install(Handler handler)
{
    installedHandler() = std::move(handler);
}

void UnhandledError::raise(const KoraError& error)
{
    if (installedHandler()) {
        installedHandler()(error);
        return;
    }
    std::fprintf(stderr, "KORA: error %d: %s\n", error.number(), qPrintable(error.description()));
    std::exit(1);
}

bool UnhandledError::guard(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const KoraError& error) {
        raise(error);
    } catch (const std::exception& error) {
        raise(KoraError(ErrorNumber::Internal, QString::fromLocal8Bit(error.what())));
    }
    return false;
}
