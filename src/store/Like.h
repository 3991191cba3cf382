#pragma once

#include <string_view>

namespace store {

// LIKE as the engine (3.15) compares without ESCAPE: "%" any run, "_" one character, Latin
// letters either case, everything else exactly, both texts ending at their first NUL. UTF-8 is
// decoded as the engine decodes it, so even a malformed sequence matches as it would there.
bool likeMatches(std::string_view pattern, std::string_view text);

// Strict UTF-8, as the program itself writes it, without U+FFFD and the two characters the
// engine reads as U+FFFD: in such a text a character is found by its bytes.
bool wellFormedUtf8(std::string_view text);

// The longest run of a searched text that every name LIKE '%text%' finds holds byte for byte:
// no wildcard, no Latin letter (either case matches) and none of the characters the engine
// reads loosely or seeks byte by byte (U+0080, U+FFFD).
std::string_view literalRun(std::string_view text);

} // namespace store
