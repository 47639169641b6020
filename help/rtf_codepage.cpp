#include "rtf_codepage.h"

#include "platform/cp1250.h"

#include <QStringDecoder>

namespace help {

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 2:
        return kSymbolCodePage;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return 0;
    }
}

namespace {

QByteArray converterName(int codePage)
{
    switch (codePage) {
    case 10000:
        return "macintosh";
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 874:
        return "windows-874";
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

QString decodeSymbol(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<std::uint8_t>(byte);
        text += b == 0xB7 ? QChar(0x2022) : QChar(b);
    }
    return text;
}

} // namespace

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

QString CodePageDecoder::decode(const QByteArray& bytes, int codePage)
{
    if (codePage == 1250)
        return platform::cp1250::decode(bytes);
    if (codePage == kSymbolCodePage)
        return decodeSymbol(bytes);
    std::unique_ptr<QStringDecoder>& decoder = m_decoders[codePage];
    if (!decoder)
        decoder = std::make_unique<QStringDecoder>(converterName(codePage).constData());
    if (!decoder->isValid())
        return platform::cp1250::decode(bytes); // a page Qt does not know: read it as the program's own
    QString text = decoder->decode(bytes);
    decoder->resetState();
    return text;
}

} // namespace help
