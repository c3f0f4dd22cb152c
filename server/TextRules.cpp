#include "TextRules.h"

#include <cctype>
#include <ctime>

namespace TextRules {

namespace {
bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isWordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           static_cast<unsigned char>(c) >= 0x80;
}
} // namespace

long long countWords(std::string_view text) {
    long long words = 0;
    bool inToken = false, tokenHasWord = false;
    for (const char c : text) {
        if (isSpace(c)) {
            words += inToken && tokenHasWord ? 1 : 0;
            inToken = tokenHasWord = false;
            continue;
        }
        inToken = true;
        tokenHasWord = tokenHasWord || isWordCharacter(c);
    }
    return words + (inToken && tokenHasWord ? 1 : 0);
}

std::string normalizedEmail(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 254)
        return {};
    std::string email;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == '<' || c == '>' || c == '"')
            return {};
        email += static_cast<char>(std::tolower(byte));
    }
    const auto at = email.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == email.size() ||
        email.find('@', at + 1) != std::string::npos)
        return {};
    return email;
}

std::string cleanSentence(std::string_view text) {
    std::string words;
    std::size_t start = 0;
    while (start < text.size()) {
        while (start < text.size() && isSpace(text[start]))
            ++start;
        std::size_t end = start;
        while (end < text.size() && !isSpace(text[end]))
            ++end;
        if (end > start) {
            std::string word(text.substr(start, end - start));
            if (word == "i" || word.rfind("i'", 0) == 0)
                word[0] = 'I';
            if (!words.empty())
                words += ' ';
            words += word;
        }
        start = end;
    }
    if (words.empty())
        return words;
    words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
    const char last = words.back();
    if (last != '.' && last != '!' && last != '?')
        words += '.';
    return words;
}

std::string monthKey(long long unixSeconds) {
    const std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char key[16];
    std::strftime(key, sizeof key, "%Y-%m", &utc);
    return key;
}

} // namespace TextRules
