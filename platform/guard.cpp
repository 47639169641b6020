#include "guard.h"

#include "dialogs.h"
#include "errors.h"

#include <QString>

#include <new>

namespace platform {

QString currentExceptionText()
{
    try {
        throw;
    } catch (const AppError& error) {
        return error.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void reportCurrentException() noexcept
{
    // The report itself runs a nested event loop; a failure inside it must not escape either.
    try {
        dialogs().report(currentExceptionText());
    } catch (...) {
    }
}

} // namespace platform
