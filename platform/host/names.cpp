/*
 * Names as the emulated Japanese Windows compares them: Shift-JIS aware,
 * case-insensitive over single-byte ASCII letters only.
 */
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "state.h"

namespace host::detail {

namespace {

bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/* The name as a sequence of folded characters, a pair as one value. */
std::vector<uint32_t> FoldedCharacters(std::string_view text)
{
    std::vector<uint32_t> characters;
    for (size_t at = 0; at < text.size();) {
        const size_t length = CharLength(text, at);
        const auto first = static_cast<unsigned char>(text[at]);
        if (length == 2)
            characters.push_back(first << 8 | static_cast<unsigned char>(text[at + 1]));
        else
            characters.push_back(static_cast<unsigned char>(UpperAscii(text[at])));
        at += length;
    }
    return characters;
}

} // namespace

size_t CharLength(std::string_view text, size_t at)
{
    if (IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() &&
        IsTrailByte(static_cast<unsigned char>(text[at + 1])))
        return 2;
    return 1;
}

std::string FoldName(std::string_view name)
{
    std::string folded(name);
    for (size_t at = 0; at < folded.size(); at += CharLength(folded, at))
        if (CharLength(folded, at) == 1)
            folded[at] = UpperAscii(folded[at]);
    return folded;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && FoldName(a) == FoldName(b);
}

bool NameOrder::operator()(const std::string &a, const std::string &b) const
{
    /* std::string compares its bytes as unsigned char. */
    return FoldName(a) < FoldName(b);
}

std::vector<std::string> SplitName(std::string_view text, std::string_view separators)
{
    std::vector<std::string> pieces(1);
    for (size_t at = 0; at < text.size();) {
        const size_t length = CharLength(text, at);
        if (length == 1 && separators.find(text[at]) != std::string_view::npos)
            pieces.emplace_back();
        else
            pieces.back().append(text.substr(at, length));
        at += length;
    }
    return pieces;
}

bool HasWildcards(std::string_view pattern)
{
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool MatchesPattern(std::string_view pattern, std::string_view name)
{
    const std::vector<uint32_t> wanted = FoldedCharacters(pattern);
    const std::vector<uint32_t> given = FoldedCharacters(name);
    const size_t patternLength = wanted.size();
    const size_t nameLength = given.size();

    /* matches[p][n]: wanted[p..] matches given[n..]. */
    std::vector<std::vector<char>> matches(patternLength + 1,
                                           std::vector<char>(nameLength + 1, 0));
    matches[patternLength][nameLength] = 1;
    for (size_t p = patternLength; p-- > 0;) {
        bool onlyStarsFollow = true;
        for (size_t rest = p + 1; rest < patternLength; ++rest)
            onlyStarsFollow = onlyStarsFollow && wanted[rest] == '*';
        for (size_t n = nameLength + 1; n-- > 0;) {
            const bool more = n < nameLength;
            switch (wanted[p]) {
            case '*':
                matches[p][n] = matches[p + 1][n] || (more && matches[p][n + 1]);
                break;
            case '?':
                matches[p][n] = more && matches[p + 1][n + 1];
                break;
            case '.':
                /* As on Windows, "name.*" also finds "name" with no dot,
                 * so "*.*" finds every name. */
                matches[p][n] = (more && given[n] == '.' && matches[p + 1][n + 1]) ||
                                (!more && onlyStarsFollow);
                break;
            default:
                matches[p][n] = more && given[n] == wanted[p] && matches[p + 1][n + 1];
            }
        }
    }
    return matches[0][0];
}

std::string Hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%" PRIx64, value);
    return text;
}

std::string Printable(const char *text)
{
    return text ? std::string(text) : std::string("NULL");
}

void Abort(const std::string &what)
{
    std::fprintf(stderr, "host emulation: %s\n", what.c_str());
    std::abort();
}

} // namespace host::detail
