#pragma once
// Names for the cases of value-parameterised suites: stable from build to build, and telling which case ran.
#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>

namespace testing_support {

/**
 * `text` as a test name: ASCII letters, digits and "_" stay, words after a space start with a capital ("final par"
 * is "finalPar"), every other byte becomes "_" and its two hex digits ("a.jpg" is "a_2Ejpg", "Ł" is "_C5_81"); an
 * empty text is "empty". Two texts give one name only when one
 * holds "_" and hex digits where the other holds the byte they spell; gtest refuses such a table.
 */
[[nodiscard]] std::string caseName(std::string_view text);
[[nodiscard]] inline std::string caseName(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return caseName(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}
[[nodiscard]] inline std::string caseName(const QByteArray& bytes)
{
    return caseName(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}
[[nodiscard]] inline std::string caseName(const char* text)
{
    return caseName(std::string_view(text));
}

/** The name generator for rows that carry their own `name`. */
struct ByName {
    template <typename Row> std::string operator()(const testing::TestParamInfo<Row>& info) const
    {
        return caseName(info.param.name);
    }
};

/** A name generator from what `key` makes of a row (a text or a number). */
template <typename Key> [[nodiscard]] auto namedBy(Key key)
{
    return [key](const auto& info) {
        const auto value = key(info.param);
        if constexpr (std::is_arithmetic_v<decltype(value)>)
            return caseName(std::to_string(value));
        else
            return caseName(value);
    };
}

} // namespace testing_support
