#include "picture.h"

#include "platform/errors.h"

#include <QFileInfo>

namespace store {

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

PictureFormat formatForFileName(const QString& fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == u"bmp")
        return PictureFormat::Bmp;
    if (extension == u"jpg" || extension == u"jpeg")
        return PictureFormat::Jpeg;
    if (extension == u"emf")
        return PictureFormat::Emf;
    if (extension == u"wmf")
        return PictureFormat::Wmf;
    throw platform::AppError(QStringLiteral("Unknown picture file extension \"%1\"").arg(extension));
}

const QImage& Picture::drawableImage(QString& error) const
{
    try {
        return image();
    } catch (const platform::AppError& e) {
        error = e.message();
    }
    if (m_undecodable.isNull()) {
        m_undecodable = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        m_undecodable.fill(Qt::transparent);
    }
    return m_undecodable;
}

} // namespace store
