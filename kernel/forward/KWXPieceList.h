// A compact list of KWX pieces: the list converter's output, which the
// post-processing steps reorder and the line joiner turns into KWX lines.
//
// Each piece (one tag, or one run of text that may hold character tags) is
// a 16-byte record: a view of text the list keeps in large chunks, and the
// set of tag kinds the post-processing steps ask about, worked out once when
// the piece is made. The steps then move records and test bits; no piece
// owns a heap block of its own.
//
// Ownership: the list owns the text of every piece made through it; records
// stay valid while the list lives (v_Clear drops them). Records may be
// copied between lists only together with the list that holds their text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "System/Export.h"
#include "System/Platform/LargeMemory.h"

// The kinds a piece can be, as bits. A prefix kind is set when the piece
// begins with that tag's opening ("<ps \"...", "<:cs \"..."); a closing
// kind when the piece is exactly that tag. KWX_PIECE_ONE_TOKEN tells the
// line joiner that the piece is one token (KWX::sv_ForEachToken): a run of
// text without '<', or one tag whose brackets first balance at its last
// byte, so the piece's other bits describe all of it.
enum EKWXPieceKind : std::uint32_t {
  KWX_PIECE_EXTERNAL = 1u << 0,   // an external tag (KWX::b_IsExternalTag)
  KWX_PIECE_PS = 1u << 1,         // <ps "
  KWX_PIECE_AF = 1u << 2,         // <af
  KWX_PIECE_TB = 1u << 3,         // <tb
  KWX_PIECE_FN = 1u << 4,         // <fn
  KWX_PIECE_MK = 1u << 5,         // <mk "
  KWX_PIECE_IMK = 1u << 6,        // <imk
  KWX_PIECE_CNS = 1u << 7,        // <:cns "
  KWX_PIECE_TI = 1u << 8,         // <:ti
  KWX_PIECE_CS = 1u << 9,         // <:cs "
  KWX_PIECE_FC = 1u << 10,        // <:fc
  KWX_PIECE_CT_CLOSE = 1u << 11,  // </ct>
  KWX_PIECE_TBT_CLOSE = 1u << 12, // </tbt>
  KWX_PIECE_TR_CLOSE = 1u << 13,  // </tr>
  KWX_PIECE_FN_CLOSE = 1u << 14,  // </fn>
  KWX_PIECE_MK_CLOSE = 1u << 15,  // </mk>
  KWX_PIECE_IMK_CLOSE = 1u << 16, // </imk>
  KWX_PIECE_KWX_CLOSE = 1u << 17, // </kwx>
  KWX_PIECE_CNS_CLOSE = 1u << 18, // <:/cns>
  KWX_PIECE_TI_CLOSE = 1u << 19,  // <:/ti>
  KWX_PIECE_CS_CLOSE = 1u << 20,  // <:/cs>
  KWX_PIECE_FC_CLOSE = 1u << 21,  // <:/fc>
  KWX_PIECE_AF_CLOSE = 1u << 22,  // </af>
  KWX_PIECE_TB_CLOSE = 1u << 23,  // </tb>
  KWX_PIECE_ONE_TOKEN = 1u << 24, // one text run or one tag, nothing else
};

// A plain record: `st_KWXPiece p{}` is the empty piece; a piece declared
// without braces is not written, like an int (which lets a list grow
// without writing pieces that are written next anyway).
struct st_KWXPiece {
  const char* pc_Text;
  std::uint32_t n_Size;
  std::uint32_t n_Kinds;  // EKWXPieceKind bits

  std::string_view sv() const { return {pc_Text, n_Size}; }
  bool b_Is(std::uint32_t kinds) const { return (n_Kinds & kinds) != 0; }
};

// The allocator of piece lists: large blocks (huge pages where offered),
// and pieces a list is resized to hold are left unwritten, so a pass can
// size its output once and write it through a pointer.
template <class T>
struct st_KWXPieceAllocator : Platform::LargeAllocator<T> {
  template <class U>
  struct rebind {
    using other = st_KWXPieceAllocator<U>;
  };
  st_KWXPieceAllocator() noexcept = default;
  template <class U>
  st_KWXPieceAllocator(const st_KWXPieceAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// A file's pieces in order.
using CQ_KWXPieces = std::vector<st_KWXPiece, st_KWXPieceAllocator<st_KWXPiece>>;

// The kind bits of a piece's text.
OSTRAKON_API std::uint32_t sn_KWXPieceKinds(std::string_view text);

class OSTRAKON_API CQ_KWXPieceList {
 public:
  static constexpr std::size_t CHUNK_SIZE = std::size_t(1) << 18;
  static constexpr std::size_t MAX_CHUNK_SIZE = std::size_t(8) << 20;

  CQ_KWXPieceList() = default;
  CQ_KWXPieceList(const CQ_KWXPieceList&) = delete;
  CQ_KWXPieceList& operator=(const CQ_KWXPieceList&) = delete;
  CQ_KWXPieceList(CQ_KWXPieceList&&) = default;
  CQ_KWXPieceList& operator=(CQ_KWXPieceList&&) = default;

  // A piece made from text, kept by the list but not yet in its order.
  // No text may be open (see v_AppendOpen).
  st_KWXPiece st_Make(std::string_view text);
  // Text added in parts: the parts are copied one after another where the
  // list keeps its text, and v_AddOpen appends them as one piece (none when
  // nothing was added), so the text is copied once.
  void v_AppendOpen(std::string_view text) {
    m_bOpenPlain = false;
    v_CopyOpen(text);
  }
  // The same for text the caller knows to hold no '<': a piece of such
  // parts only is one token of text, known without searching it.
  void v_AppendOpenPlain(std::string_view text) { v_CopyOpen(text); }
  void v_AddOpen() {
    if (m_nOpen != 0) v_AddOpenText();
  }
  // Makes a piece and appends it. Lines longer than 4 GiB raise 6.
  void v_Add(std::string_view text) { m_vecPieces.push_back(st_Make(text)); }
  void v_Add(const st_KWXPiece& piece) { m_vecPieces.push_back(piece); }

  CQ_KWXPieces& rco_Pieces() { return m_vecPieces; }
  const CQ_KWXPieces& rco_Pieces() const { return m_vecPieces; }
  std::size_t size() const { return m_vecPieces.size(); }
  const st_KWXPiece& operator[](std::size_t i) const { return m_vecPieces[i]; }

  // Room for `pieces` pieces; a list that large starts its text chunks at
  // huge-page size.
  void v_Reserve(std::size_t pieces) {
    m_vecPieces.reserve(pieces);
    if (pieces * sizeof(st_KWXPiece) >= Platform::LARGE_BLOCK) m_nFirstChunk = Platform::LARGE_BLOCK;
  }
  // Drops every piece and the text behind them.
  void v_Clear();

  // The pieces as strings, and the reverse.
  std::vector<std::string> ast_Strings() const;
  static CQ_KWXPieceList sco_FromStrings(const std::vector<std::string>& pieces);

 private:
  void v_CopyOpen(std::string_view text);
  void v_AddOpenText();

  CQ_KWXPieces m_vecPieces;
  // Text chunks, each as large as the text held before it (256 KiB up to
  // 8 MiB, and at least the piece), so a large file's pieces lie in huge
  // pages where the kernel offers them.
  std::vector<Platform::LargeBuffer> m_vecChunks;
  std::size_t m_nHeld = 0;  // bytes of all chunks
  std::size_t m_nFirstChunk = CHUNK_SIZE;
  std::size_t m_nChunkSize = 0;  // size of the last chunk
  std::size_t m_nUsed = 0;       // bytes used in the last chunk
  std::size_t m_nOpen = 0;       // bytes of open text after those
  bool m_bOpenPlain = true;      // the open text's parts all hold no '<'
};
