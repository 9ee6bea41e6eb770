// Piece text is appended to the last chunk while it fits; a longer piece
// gets a chunk of its own. Kinds are found by the piece's first bytes, so
// text pieces (which never begin with '<' followed by a letter, '/' or ':'
// unless they begin with a character tag) cost one comparison.
#include "kernel/forward/KWXPieceList.h"

#include <cstring>
#include <limits>

#include "kernel/forward/KWXFormat.h"

std::uint32_t sn_KWXPieceKinds(std::string_view p) {
  if (p.size() < 2 || p[0] != '<') return 0;
  using KWX::b_HasPrefix;
  std::uint32_t k = 0;
  if (KWX::b_IsExternalTag(p)) k |= KWX_PIECE_EXTERNAL;
  struct Prefix {
    std::string_view text;
    std::uint32_t kind;
  };
  static constexpr Prefix kPrefixes[] = {
      {KWX::PREFIX_PS, KWX_PIECE_PS},   {KWX::PREFIX_AF, KWX_PIECE_AF},   {KWX::PREFIX_TB, KWX_PIECE_TB},
      {KWX::PREFIX_FN, KWX_PIECE_FN},   {KWX::PREFIX_MK, KWX_PIECE_MK},   {KWX::PREFIX_IMK, KWX_PIECE_IMK},
      {KWX::PREFIX_CNS, KWX_PIECE_CNS}, {KWX::PREFIX_TI, KWX_PIECE_TI},   {KWX::PREFIX_CS, KWX_PIECE_CS},
      {KWX::PREFIX_FC, KWX_PIECE_FC},
  };
  static constexpr Prefix kTags[] = {
      {KWX::TAG_CT_CLOSE, KWX_PIECE_CT_CLOSE},   {KWX::TAG_TBT_CLOSE, KWX_PIECE_TBT_CLOSE},
      {KWX::TAG_TR_CLOSE, KWX_PIECE_TR_CLOSE},   {KWX::TAG_FN_CLOSE, KWX_PIECE_FN_CLOSE},
      {KWX::TAG_MK_CLOSE, KWX_PIECE_MK_CLOSE},   {KWX::TAG_IMK_CLOSE, KWX_PIECE_IMK_CLOSE},
      {KWX::TAG_KWX_CLOSE, KWX_PIECE_KWX_CLOSE}, {KWX::TAG_CNS_CLOSE, KWX_PIECE_CNS_CLOSE},
      {KWX::TAG_TI_CLOSE, KWX_PIECE_TI_CLOSE},   {KWX::TAG_CS_CLOSE, KWX_PIECE_CS_CLOSE},
      {KWX::TAG_FC_CLOSE, KWX_PIECE_FC_CLOSE},   {KWX::TAG_AF_CLOSE, KWX_PIECE_AF_CLOSE},
      {KWX::TAG_TB_CLOSE, KWX_PIECE_TB_CLOSE},
  };
  // Every table text begins with '<': its second byte rules most rows out.
  for (const Prefix& prefix : kPrefixes) {
    if (prefix.text[1] == p[1] && b_HasPrefix(p, prefix.text)) k |= prefix.kind;
  }
  if (p[1] != '/' && p[1] != ':') return k;
  for (const Prefix& tag : kTags) {
    if (tag.text.size() == p.size() && tag.text[1] == p[1] && p == tag.text) k |= tag.kind;
  }
  return k;
}

st_KWXPiece CQ_KWXPieceList::st_Make(std::string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw 6;
  if (m_vecChunks.empty() || m_nChunkSize - m_nUsed < text.size()) {
    const std::size_t size = text.size() > CHUNK_SIZE ? text.size() : CHUNK_SIZE;
    m_vecChunks.emplace_back(new char[size]);
    m_nChunkSize = size;
    m_nUsed = 0;
  }
  char* at = m_vecChunks.back().get() + m_nUsed;
  if (!text.empty()) std::memcpy(at, text.data(), text.size());
  m_nUsed += text.size();
  return {at, static_cast<std::uint32_t>(text.size()), sn_KWXPieceKinds(text)};
}

void CQ_KWXPieceList::v_Clear() {
  std::vector<st_KWXPiece>().swap(m_vecPieces);
  std::vector<std::unique_ptr<char[]>>().swap(m_vecChunks);
  m_nChunkSize = 0;
  m_nUsed = 0;
}

std::vector<std::string> CQ_KWXPieceList::ast_Strings() const {
  std::vector<std::string> out;
  out.reserve(m_vecPieces.size());
  for (const st_KWXPiece& p : m_vecPieces) out.emplace_back(p.sv());
  return out;
}

CQ_KWXPieceList CQ_KWXPieceList::sco_FromStrings(const std::vector<std::string>& pieces) {
  CQ_KWXPieceList list;
  list.v_Reserve(pieces.size());
  for (const std::string& p : pieces) list.v_Add(p);
  return list;
}
