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

bool UnhandledError::guard(const std::function<void()>& body,
                           const std::function<void()>& beforeRaise)
{
    const auto fail = [&beforeRaise](const KoraError& error) {
        if (beforeRaise)
            beforeRaise();
        raise(error);
        return false;
    };
    try {
        body();
        return true;
    } catch (const KoraError& error) {
        return fail(error);
    } catch (const std::exception& error) {
        return fail(KoraError(ErrorNumber::Internal, QString::fromLocal8Bit(error.what())));
    }
}
