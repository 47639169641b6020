#include "picture_formats.h"

#include "platform/errors.h"

#include <array>

namespace store {

namespace {

struct Extension {
    QByteArrayView extension;
    PictureFormat format;
};

/** In the order the file list's mask names them. */
constexpr std::array<Extension, 5> kExtensions {{
    {"bmp", PictureFormat::Bmp},
    {"jpg", PictureFormat::Jpeg},
    {"jpeg", PictureFormat::Jpeg},
    {"emf", PictureFormat::Emf},
    {"wmf", PictureFormat::Wmf},
}};

constexpr std::array<PictureFormat, 4> kFormats {
    PictureFormat::Bmp, PictureFormat::Jpeg, PictureFormat::Emf, PictureFormat::Wmf};

} // namespace

const char* formatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp:
        return "bmp";
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Emf:
        return "emf";
    case PictureFormat::Wmf:
        return "wmf";
    }
    return "?";
}

std::optional<PictureFormat> formatNamed(QByteArrayView name)
{
    for (const PictureFormat format : kFormats) {
        if (name == formatName(format))
            return format;
    }
    return std::nullopt;
}

std::optional<PictureFormat> formatOfFileName(const platform::FilePath& name)
{
    const QByteArray extension = name.extension();
    for (const Extension& known : kExtensions) {
        if (extension == known.extension)
            return known.format;
    }
    return std::nullopt;
}

PictureFormat formatForFileName(const platform::FilePath& name)
{
    if (const std::optional<PictureFormat> format = formatOfFileName(name))
        return *format;
    throw platform::AppError(
        QStringLiteral("Unknown picture file extension \"%1\"").arg(platform::FilePath(name.extension()).display()));
}

QString pictureMask()
{
    QString mask;
    for (const Extension& known : kExtensions) {
        if (!mask.isEmpty())
            mask += u';';
        mask += QStringLiteral("*.") + QLatin1String(known.extension);
    }
    return mask;
}

} // namespace store
