#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>

class QStringDecoder;

namespace help {

/** The code page the RTF symbol character set stands for here: bytes of a Symbol font. */
inline constexpr int kSymbolCodePage = 42;

/** The Windows code page of an RTF \fcharset value, or 0 when the set names none (use the document's). */
[[nodiscard]] int codePageOfCharset(int charset);

/**
 * Decodes runs of bytes in the code pages RTF files name. Windows-1250 goes through our own table; a Symbol
 * font's bullet becomes U+2022 (asking Qt for the Symbol family draws nothing); other pages, double-byte ones
 * included, go through Qt's converters, created once per page.
 */
class CodePageDecoder {
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    [[nodiscard]] QString decode(const QByteArray& bytes, int codePage);

private:
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
};

} // namespace help
