#include "test_data.h"

#include <iconv.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

std::string ReadSourceFile(const std::string &relativePath)
{
    std::ifstream in(std::string(SOURCE_ROOT) + "/" + relativePath,
                     std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + relativePath);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

/* Blocks of "[Name] rest" followed by lines up to a blank line. */
template <typename Block>
static std::map<std::string, Block>
ReadBlocks(const std::string &file,
           void (*start)(Block &, const std::string &rest),
           void (*add)(Block &, const std::string &line))
{
    std::map<std::string, Block> blocks;
    std::istringstream in(ReadSourceFile(file));
    std::string line;
    Block *current = nullptr;
    while (std::getline(in, line)) {
        if (line.empty()) {
            current = nullptr;
        } else if (line[0] == '#') {
            continue;
        } else if (line[0] == '[') {
            const size_t close = line.find(']');
            current = &blocks[line.substr(1, close - 1)];
            const std::string rest =
                close + 1 < line.size() ? line.substr(close + 2) : "";
            start(*current, rest);
        } else if (current) {
            add(*current, line);
        }
    }
    return blocks;
}

const std::map<std::string, FontSetData> &FontSetsData()
{
    static const auto sets = ReadBlocks<FontSetData>(
        "tests/data/font_sets.txt",
        [](FontSetData &set, const std::string &rest) { set.marker = rest; },
        [](FontSetData &set, const std::string &line) {
            set.names.push_back(line);
        });
    return sets;
}

const std::map<std::string, MessageData> &MessagesData()
{
    static const auto messages = ReadBlocks<MessageData>(
        "tests/data/messages.txt",
        [](MessageData &message, const std::string &rest) {
            message.flags = rest.empty() ? 0 : std::stoul(rest, nullptr, 16);
        },
        [](MessageData &message, const std::string &line) {
            message.lines.push_back(line);
        });
    return messages;
}

std::string ToCodePage932(const std::string &utf8)
{
    if (utf8.empty())
        return utf8;
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == (iconv_t)-1)
        throw std::runtime_error("iconv has no CP932");
    std::string out(utf8.size() * 2 + 1, '\0');
    char *in = const_cast<char *>(utf8.data());
    size_t inLeft = utf8.size();
    char *outPtr = &out[0];
    size_t outLeft = out.size();
    const size_t converted = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (converted == (size_t)-1 || inLeft != 0)
        throw std::runtime_error("cannot convert to CP932: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

std::string MessageBytes(const std::string &name)
{
    const MessageData &message = MessagesData().at(name);
    std::string joined;
    for (size_t i = 0; i < message.lines.size(); i++)
        joined += (i ? "\n" : "") + message.lines[i];
    return ToCodePage932(joined);
}
