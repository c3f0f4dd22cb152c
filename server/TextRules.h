#pragma once

#include <string>
#include <string_view>

// Text rules of the service: how words are counted against an account, how e-mail addresses are
// compared, and the "clean" style the local back end applies to its raw recognition.
namespace TextRules {

// Words separated by white space; punctuation on its own does not count.
long long countWords(std::string_view text);

// Trimmed and lower-cased; empty when the text cannot be an address (no "@", spaces, controls,
// longer than 254 bytes).
std::string normalizedEmail(std::string_view text);

// Capitalises the sentence and the pronoun "i", and ends it with a full stop unless it already
// ends with punctuation. Empty text stays empty.
std::string cleanSentence(std::string_view text);

// "YYYY-MM" of the given time in UTC: the period words are counted in.
std::string monthKey(long long unixSeconds);

} // namespace TextRules
