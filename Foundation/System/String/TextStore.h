// Text kept in a CQ_Buffer as units with a terminating zero (internal).
//
// Both string classes store their text the same way, 8-bit or 16-bit; this
// template holds the storage rules once: the used size always includes the
// terminating zero, a string without data reads as empty, and every edit is
// a splice that leaves the zero in place.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "System/String/Buffer.h"

namespace text_store {

template <typename Unit>
class TextStore {
 public:
  explicit TextStore(CQ_Buffer& buffer) : buffer_(buffer) {}

  std::uint32_t Length() const {
    const std::uint32_t used = buffer_.n_GetUsedSize();
    return used >= sizeof(Unit) ? used / sizeof(Unit) - 1 : 0;
  }
  const Unit* Data() const {
    static const Unit empty[1] = {0};
    const std::uint8_t* data = buffer_.pcb_GetData();
    return data && buffer_.n_GetUsedSize() >= sizeof(Unit) ? reinterpret_cast<const Unit*>(data) : empty;
  }
  std::basic_string_view<Unit> View() const { return std::basic_string_view<Unit>(Data(), Length()); }
  std::uint32_t MaximumLength() const {
    const std::uint32_t capacity = buffer_.n_GetMaximumSize() / sizeof(Unit);
    return capacity ? capacity - 1 : 0;
  }

  // The text becomes a copy of `count` units at `text` (which may lie in
  // this buffer); no units release the data.
  void Set(const Unit* text, std::uint32_t count) {
    if (count == 0) {
      buffer_.v_Release();
      return;
    }
    std::basic_string<Unit> aside;
    if (Inside(text)) {
      aside.assign(text, count);
      text = aside.data();
    }
    const std::uint32_t bytes = Bytes(count + 1);
    buffer_.v_Set(bytes, buffer_.n_GetGranularity(), false);
    buffer_.v_SetUsedSize(bytes);
    std::memcpy(buffer_.pb_GetData(), text, Bytes(count));
  }

  // Replaces `remove` units at `pos` by `count` units at `text`.
  void Splice(std::uint32_t pos, std::uint32_t remove, const Unit* text, std::uint32_t count) {
    const std::uint32_t length = Length();
    if (pos > length) pos = length;
    if (remove > length - pos) remove = length - pos;
    if (remove == 0 && count == 0) return;
    if (!buffer_.pcb_GetData() || buffer_.n_GetUsedSize() < sizeof(Unit)) {
      if (count == 0) return;
      const Unit zero = 0;
      buffer_.v_Release();
      buffer_.v_Append(&zero, sizeof(Unit));
    }
    buffer_.v_Splice(Bytes(pos), Bytes(remove), text, Bytes(count));
  }

  // Writes `count` units over the text from `pos`, growing it as needed.
  void Overwrite(std::uint32_t pos, const Unit* text, std::uint32_t count) {
    const std::uint32_t length = Length();
    if (pos > length) pos = length;
    Splice(pos, count < length - pos ? count : length - pos, text, count);
  }

  // Room for `size` units; keep: the text stays, cut to `size` units;
  // otherwise it becomes empty. Size 0 releases the data.
  void SetSize(std::uint32_t size, bool keep) {
    if (size == 0) {
      buffer_.v_Release();
      return;
    }
    const bool hadText = buffer_.n_GetUsedSize() >= sizeof(Unit);
    const std::uint32_t length = Length();
    buffer_.v_SetSize(Bytes(size + 1), keep);
    if (keep && hadText) {
      if (length > size) Terminate(size);
    } else {
      Terminate(0);
    }
  }

  void SetMinSize(std::uint32_t size, bool keep) {
    const bool hadText = buffer_.n_GetUsedSize() >= sizeof(Unit);
    buffer_.v_SetMinSize(Bytes(size + 1), keep);
    if (!keep || !hadText) Terminate(0);
  }

  // Makes the text `length` units long: cut, or extended with zeros.
  void SetLength(std::uint32_t length) {
    buffer_.v_SetMinSize(Bytes(length + 1), true);
    Terminate(length);
  }

 private:
  static std::uint32_t Bytes(std::uint32_t units) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(units) * sizeof(Unit);
    return bytes > 0xFFFFFF00u ? 0xFFFFFF00u : static_cast<std::uint32_t>(bytes);
  }
  bool Inside(const Unit* text) const {
    const std::uint8_t* data = buffer_.pcb_GetData();
    const auto* at = reinterpret_cast<const std::uint8_t*>(text);
    return data && at >= data && at < data + buffer_.n_GetMaximumSize();
  }
  // Sets the used size to length + 1 units (new units zero) and writes the
  // terminating zero at `length`.
  void Terminate(std::uint32_t length) {
    buffer_.v_SetUsedSize(Bytes(length + 1));
    const Unit zero = 0;
    std::memcpy(buffer_.pb_GetData() + Bytes(length), &zero, sizeof(Unit));
  }

  CQ_Buffer& buffer_;
};

}  // namespace text_store
