#include "LogText.h"

#include <cstdio>

std::string LogText(std::string_view text, std::size_t maxBytes) {
    static const char hex[] = "0123456789abcdef";
    const bool cut = text.size() > maxBytes;
    if (cut) {
        text = text.substr(0, maxBytes);
    }
    std::string out;
    out.reserve(text.size() + 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    if (cut) {
        out += "...";
    }
    return out;
}

void WriteLogLine(const std::string& line) {
    const std::string whole = line + '\n';
    std::fwrite(whole.data(), 1, whole.size(), stderr);
}
