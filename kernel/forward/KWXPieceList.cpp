// Piece text is appended to the last chunk while it fits; a longer piece
// gets a chunk of its own. Kinds are found by the piece's first bytes, so
// a text piece costs one comparison and a tag a few; whether a piece is
// one token costs a search for '<' in text and a walk up to the end of a
// tag's first balanced brackets.
#include "kernel/forward/KWXPieceList.h"

#include <algorithm>
#include <utility>

#include <cstring>
#include <limits>

#include "kernel/forward/KWXFormat.h"
#include "kernel/session/ResultCodes.h"

namespace {

// True when p begins with the literal (its terminating zero not counted);
// the length is known when compiled, so the comparison is inlined.
template <std::size_t N>
bool Starts(std::string_view p, const char (&literal)[N]) {
  return p.size() >= N - 1 && std::memcmp(p.data(), literal, N - 1) == 0;
}

template <std::size_t N>
bool Is(std::string_view p, const char (&literal)[N]) {
  return p.size() == N - 1 && std::memcmp(p.data(), literal, N - 1) == 0;
}

// Whether the piece is one token of the tokeniser: text without '<', or a
// tag whose bracket depth first comes back to 0 at its last byte. A tag is
// read only up to where its depth first comes back to 0.
bool IsOneToken(std::string_view p) {
  if (p.empty()) return false;
  if (p[0] != '<') return std::memchr(p.data(), '<', p.size()) == nullptr;
  // Most tags hold no bracket of their own: without a '<' before the first
  // '>', the depth comes back to 0 there.
  const char* const inner = p.data() + 1;
  const auto* close = static_cast<const char*>(std::memchr(inner, '>', p.size() - 1));
  if (close == nullptr) return false;  // an unclosed tag
  if (std::memchr(inner, '<', static_cast<std::size_t>(close - inner)) == nullptr) {
    return close + 1 == p.data() + p.size();
  }
  int depth = 0;
  const std::size_t n = p.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] == '<') {
      ++depth;
    } else if (p[i] == '>' && --depth == 0) {
      return i + 1 == n;
    }
  }
  return false;  // an unclosed tag
}

}  // namespace

std::uint32_t sn_KWXPieceKinds(std::string_view p) {
  if (p.size() < 2 || p[0] != '<') return IsOneToken(p) ? std::uint32_t{KWX_PIECE_ONE_TOKEN} : 0u;
  std::uint32_t k = KWX::b_IsExternalTag(p) ? std::uint32_t{KWX_PIECE_EXTERNAL} : 0u;
  if (IsOneToken(p)) k |= KWX_PIECE_ONE_TOKEN;
  // Spelled out by the second byte; KWXFormat.h holds the same texts, and
  // the piece list's tests compare both.
  switch (p[1]) {
    case 'p':
      if (Starts(p, "<ps \"")) k |= KWX_PIECE_PS;
      break;
    case 'a':
      if (Starts(p, "<af ")) k |= KWX_PIECE_AF;
      break;
    case 't':
      if (Starts(p, "<tb ")) k |= KWX_PIECE_TB;
      break;
    case 'f':
      if (Starts(p, "<fn ")) k |= KWX_PIECE_FN;
      break;
    case 'm':
      if (Starts(p, "<mk \"")) k |= KWX_PIECE_MK;
      break;
    case 'i':
      if (Starts(p, "<imk ")) k |= KWX_PIECE_IMK;
      break;
    case ':':
      if (Starts(p, "<:cns \"")) {
        k |= KWX_PIECE_CNS;
      } else if (Starts(p, "<:ti ")) {
        k |= KWX_PIECE_TI;
      } else if (Starts(p, "<:cs \"")) {
        k |= KWX_PIECE_CS;
      } else if (Starts(p, "<:fc ")) {
        k |= KWX_PIECE_FC;
      } else if (Is(p, "<:/cns>")) {
        k |= KWX_PIECE_CNS_CLOSE;
      } else if (Is(p, "<:/ti>")) {
        k |= KWX_PIECE_TI_CLOSE;
      } else if (Is(p, "<:/cs>")) {
        k |= KWX_PIECE_CS_CLOSE;
      } else if (Is(p, "<:/fc>")) {
        k |= KWX_PIECE_FC_CLOSE;
      }
      break;
    case '/':
      if (Is(p, "</ct>")) {
        k |= KWX_PIECE_CT_CLOSE;
      } else if (Is(p, "</tbt>")) {
        k |= KWX_PIECE_TBT_CLOSE;
      } else if (Is(p, "</tr>")) {
        k |= KWX_PIECE_TR_CLOSE;
      } else if (Is(p, "</fn>")) {
        k |= KWX_PIECE_FN_CLOSE;
      } else if (Is(p, "</mk>")) {
        k |= KWX_PIECE_MK_CLOSE;
      } else if (Is(p, "</imk>")) {
        k |= KWX_PIECE_IMK_CLOSE;
      } else if (Is(p, "</kwx>")) {
        k |= KWX_PIECE_KWX_CLOSE;
      } else if (Is(p, "</af>")) {
        k |= KWX_PIECE_AF_CLOSE;
      } else if (Is(p, "</tb>")) {
        k |= KWX_PIECE_TB_CLOSE;
      }
      break;
    default:
      break;
  }
  return k;
}

st_KWXPiece CQ_KWXPieceList::st_Make(std::string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw Result::DAMAGED;
  if (m_nOpen != 0) throw Result::INTERNAL_ERROR;  // it would write over the open text
  if (m_vecChunks.empty() || m_nChunkSize - m_nUsed < text.size()) {
    std::size_t size = std::min(std::max(m_nHeld, m_nFirstChunk), MAX_CHUNK_SIZE);
    if (text.size() > size) size = text.size();
    m_vecChunks.emplace_back(size);
    m_nHeld += size;
    m_nChunkSize = size;
    m_nUsed = 0;
  }
  char* at = m_vecChunks.back().data() + m_nUsed;
  if (!text.empty()) std::memcpy(at, text.data(), text.size());
  m_nUsed += text.size();
  return {at, static_cast<std::uint32_t>(text.size()), sn_KWXPieceKinds(text)};
}

void CQ_KWXPieceList::v_CopyOpen(std::string_view text) {
  if (text.empty()) return;
  const std::size_t open = m_nOpen + text.size();
  if (open > std::numeric_limits<std::uint32_t>::max()) throw Result::DAMAGED;
  if (m_vecChunks.empty() || m_nChunkSize - m_nUsed < open) {
    // A new chunk takes the open text with it; the room it leaves in the
    // last chunk stays unused.
    std::size_t size = std::min(std::max(m_nHeld, m_nFirstChunk), MAX_CHUNK_SIZE);
    if (open > size) size = std::max(open, 2 * m_nOpen);
    Platform::LargeBuffer chunk(size);
    if (m_nOpen != 0) std::memcpy(chunk.data(), m_vecChunks.back().data() + m_nUsed, m_nOpen);
    m_vecChunks.push_back(std::move(chunk));
    m_nHeld += size;
    m_nChunkSize = size;
    m_nUsed = 0;
  }
  std::memcpy(m_vecChunks.back().data() + m_nUsed + m_nOpen, text.data(), text.size());
  m_nOpen = open;
}

void CQ_KWXPieceList::v_AddOpenText() {
  const char* at = m_vecChunks.back().data() + m_nUsed;
  const std::string_view text(at, m_nOpen);
  m_nUsed += m_nOpen;
  m_nOpen = 0;
  const std::uint32_t kinds = m_bOpenPlain ? std::uint32_t{KWX_PIECE_ONE_TOKEN} : sn_KWXPieceKinds(text);
  m_bOpenPlain = true;
  m_vecPieces.push_back({at, static_cast<std::uint32_t>(text.size()), kinds});
}

void CQ_KWXPieceList::v_Clear() {
  CQ_KWXPieces().swap(m_vecPieces);
  std::vector<Platform::LargeBuffer>().swap(m_vecChunks);
  m_nHeld = 0;
  m_nChunkSize = 0;
  m_nUsed = 0;
  m_nOpen = 0;
  m_bOpenPlain = true;
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
