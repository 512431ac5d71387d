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

KoraError UnhandledError::internalError(const std::exception& error)
{
    return KoraError(ErrorNumber::Internal, QString::fromLocal8Bit(error.what()));
}
