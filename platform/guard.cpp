#include "guard.h"

#include "dialogs.h"
#include "errors.h"

#include <QString>

#include <new>

namespace platform {

void reportCurrentException() noexcept
{
    QString text;
    try {
        throw;
    } catch (const AppError& error) {
        text = error.message();
    } catch (const std::bad_alloc&) {
        text = QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        text = QString::fromUtf8(error.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    // The report itself runs a nested event loop; a failure inside it must not escape either.
    try {
        dialogs().report(text);
    } catch (...) {
    }
}

} // namespace platform
