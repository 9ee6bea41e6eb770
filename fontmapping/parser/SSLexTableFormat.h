// Layout of the lexer table ("XLSS"), shared by the runtime that reads it
// and the build-time generator that writes it. All words are 32-bit
// little-endian.
//
// Table: a 9-word header (word 0 the number of expression lists, word 1 the
// magic or 0, words 2-8 zero), one block per expression list, then the
// keyword data (possibly empty).
// Block: a 22-word header, then at the offsets (from the block's start) the
// header gives: a 256-byte map from input byte to character class; the
// transitions, one 16-bit target per state and class (0xFFFF: none); one
// 32-bit accepting expression per state (-1: none); 4 words per expression
// (token, action, target list, keyword list or -1).
// Keyword data: word 0 the number of keyword lists, then per list its entry
// count and entries of 5 words (token, action, target list, flags, text
// length) followed by the text padded to a whole word.
#pragma once

#include <cstdint>

namespace sslex_format {

constexpr std::uint32_t kMagic = 0x53534C58u;  // bytes 58 4C 53 53, "XLSS"
constexpr std::uint32_t kTableHeaderWords = 9;
constexpr std::uint32_t kBlockHeaderWords = 22;
constexpr std::uint32_t kBlockHeaderBytes = 4 * kBlockHeaderWords;  // 88

// Block header words.
enum : std::uint32_t {
  kBlockMagic = 0,
  kBlockSize = 1,
  kBlockClasses = 2,
  kBlockExpressions = 3,
  kBlockClassMapOffset = 4,
  kBlockTransitionsOffset = 5,
  kBlockAcceptOffset = 6,
  kBlockExpressionOffset = 7,
  kBlockStartState = 8,
  kBlockStates = 10,
  kBlockSizeAgain = 11,
};

constexpr std::uint16_t kNoTransition = 0xFFFF;
constexpr std::uint32_t kExpressionWords = 4;
constexpr std::uint32_t kKeywordEntryWords = 5;

// Action word of an expression or keyword: the low byte is what happens to
// the list stack when the expression matches; kIgnore drops the lexeme
// (white space, comments).
enum : std::uint32_t {
  kActionNone = 0,
  kActionPush = 1,  // push the target list
  kActionPop = 2,   // return to the list below
  kActionGoto = 3,  // replace the current list by the target list
  kActionMask = 0xFF,
  kIgnore = 0x100,
};

// Keyword entry flags: kCut shortens the lexeme to the keyword's own text;
// the rest of the match is read again under the new list.
enum : std::uint32_t { kCut = 1 };

}  // namespace sslex_format
