// CQ_ErrorManager: fixed pools of error and location records threaded on
// singly linked lists (free, current, held), one mutex around every list
// change. A record is claimed under the lock with its thread identifier
// and then filled in by its own thread outside the lock, so formatting and
// map functions never run while the lock is held.
#include "System/ErrorManager/ErrorManager.h"

#include <langinfo.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "System/ErrorManager/ErrorText.h"
#include "System/String/Formatting.h"
#include "System/String/StringConvert/CodePages.h"
#include "System/String/UString.h"

namespace {

std::atomic<CQ_ErrorManager*> gManager{nullptr};
std::atomic<std::uintptr_t> gInstance{0};
std::atomic<CQ_ErrorManager::MessageBoxFunction> gMessageBox{nullptr};
std::atomic<void*> gMessageBoxContext{nullptr};

constexpr std::size_t kMaxText = CQ_ErrorManager::sn4_MessageUnits - 1;

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
  return out;
}

// Asks the thread's map function for the text; false when there is none
// or it declines.
bool MapText(CQ_ErrorManager::MapFunction map, std::uint32_t code, std::uint32_t formatId, va_list args,
             std::u16string& text) {
  if (!map) return false;
  std::vector<char16_t> buffer(CQ_ErrorManager::sn4_MapBufferUnits, 0);
  va_list copy;
  va_copy(copy, args);
  const int answer = map(buffer.data(), CQ_ErrorManager::sn4_MapBufferUnits, code, formatId, copy);
  va_end(copy);
  if (!answer) return false;
  buffer.back() = 0;
  text.assign(buffer.data());
  return true;
}

// The code page system messages are written in: UTF-8 when the locale
// says so, else the ANSI code page.
std::uint32_t SystemMessageCodePage() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)) return code_pages::kUTF8;
  return code_pages::kANSI;
}

}  // namespace

namespace error_text {

std::u16string CleanSystemMessage(std::u16string text) {
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') {
      out.push_back(c);
      continue;
    }
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;  // CR LF is one line end
    if (out.empty() || out.back() != u' ') out.push_back(u' ');
  }
  return out;
}

std::u16string FileNameOf(const char* file) {
  if (!file) return u"(unknown file)";
  const char* slash = std::strrchr(file, '/');
  const char* backslash = std::strrchr(file, '\\');
  const char* last = slash > backslash ? slash : backslash;
  if (!last) return u"(unknown file)";
  return code_pages::MultiToWide(last + 1, code_pages::kANSI);
}

}  // namespace error_text

CQ_Init CQ_ErrorManager::sco_Init(&CQ_ErrorManager::sv_Init, "CQ_ErrorManager", "create the error manager");
CQ_Exit CQ_ErrorManager::sco_Exit(&CQ_ErrorManager::sv_Exit, "CQ_ErrorManager", "destroy the error manager");

CQ_ErrorManager* CQ_ErrorManager::spco_Get() { return gManager.load(std::memory_order_acquire); }

void CQ_ErrorManager::sv_Init() {
  if (gManager.load(std::memory_order_acquire)) return;
  gManager.store(new CQ_ErrorManager(sn4_ErrorRecords, sn4_LocationRecords), std::memory_order_release);
}

void CQ_ErrorManager::sv_Exit() { delete gManager.exchange(nullptr, std::memory_order_acq_rel); }

void CQ_ErrorManager::sv_SetInstance(CQ_Module module) {
  gInstance.store(static_cast<std::uintptr_t>(module), std::memory_order_release);
}

std::uint32_t CQ_ErrorManager::sn_GetThreadId() {
  thread_local const auto id = static_cast<std::uint32_t>(syscall(SYS_gettid));
  return id;
}

CQ_ErrorManager::CQ_ErrorManager(std::uint32_t errors, std::uint32_t locations)
    : CQ_VoidArray(sizeof(st_mapItem*), 4),
      n_ErrorCount(errors),
      ast_Errors(new st_error[errors]),
      pst_Free(nullptr),
      pst_Current(nullptr),
      pst_Held(nullptr),
      n_LocationCount(locations),
      ast_Locations(new st_location[locations]),
      pst_FreeLocations(nullptr),
      b_InterruptOnError(false),
      b_DebugMessageOnError(true) {
  for (std::uint32_t i = errors; i-- > 0;) {
    ast_Errors[i].pst_Next = pst_Free;
    pst_Free = &ast_Errors[i];
  }
  for (std::uint32_t i = locations; i-- > 0;) {
    ast_Locations[i].pst_Next = pst_FreeLocations;
    pst_FreeLocations = &ast_Locations[i];
  }
}

CQ_ErrorManager::~CQ_ErrorManager() {
  for (std::uint32_t i = 1; i <= n_GetCount(); ++i) {
    st_mapItem* item = nullptr;
    v_GetAt(&item, i);
    delete item;
  }
  delete[] ast_Errors;
  delete[] ast_Locations;
}

CQ_ErrorManager::st_error* CQ_ErrorManager::findLocked(st_error* list, std::uint32_t thread) const {
  for (st_error* record = list; record; record = record->pst_Next) {
    if (record->n_ThreadId == thread) return record;
  }
  return nullptr;
}

CQ_ErrorManager::st_error* CQ_ErrorManager::unlink(st_error** list, std::uint32_t thread) {
  for (st_error** link = list; *link; link = &(*link)->pst_Next) {
    if ((*link)->n_ThreadId == thread) {
      st_error* record = *link;
      *link = record->pst_Next;
      record->pst_Next = nullptr;
      return record;
    }
  }
  return nullptr;
}

void CQ_ErrorManager::releaseLocked(st_error* record) {
  if (!record) return;
  st_location* location = record->pst_FirstLocation;
  while (location) {
    st_location* next = location->pst_Next;
    location->pst_Next = pst_FreeLocations;
    pst_FreeLocations = location;
    location = next;
  }
  record->pst_FirstLocation = record->pst_LastLocation = nullptr;
  record->n_LocationCount = 0;
  record->n_ThreadId = 0;
  record->pst_Next = pst_Free;
  pst_Free = record;
}

CQ_ErrorManager::st_error* CQ_ErrorManager::readable() const {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  st_error* record = findLocked(pst_Current, thread);
  return record ? record : findLocked(pst_Held, thread);
}

CQ_ErrorManager::st_error* CQ_ErrorManager::begin(std::uint32_t code, CQ_Module module, std::uint32_t formatId,
                                                  MapFunction* map) {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  if (findLocked(pst_Current, thread)) return nullptr;  // the first error stays
  releaseLocked(unlink(&pst_Held, thread));
  st_error* record = pst_Free;
  if (!record) return nullptr;
  pst_Free = record->pst_Next;
  record->h_Module = module != CQ_Module{} ? module : static_cast<CQ_Module>(gInstance.load(std::memory_order_acquire));
  record->n_ThreadId = thread;
  record->n_Code = code;
  record->n_FormatId = formatId;
  record->au_Message[0] = 0;
  record->n_LocationCount = 0;
  record->pst_FirstLocation = record->pst_LastLocation = nullptr;
  record->b_Ignore = 0;
  record->pst_Next = pst_Current;
  pst_Current = record;
  *map = nullptr;
  for (std::uint32_t i = n_GetCount(); i >= 1; --i) {
    st_mapItem* item = nullptr;
    v_GetAt(&item, i);
    if (item && item->n_Key == thread) {
      *map = item->pfn_Map;
      break;
    }
  }
  return record;
}

void CQ_ErrorManager::finish(st_error* record, const char16_t* text, std::size_t length) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "(%d): ", static_cast<int>(record->n_Code));
  std::u16string message = Ascii(prefix);
  message.append(text, length);
  if (message.size() > kMaxText) message.resize(kMaxText);
  std::memcpy(record->au_Message, message.data(), message.size() * sizeof(char16_t));
  record->au_Message[message.size()] = 0;
}

void CQ_ErrorManager::v_SetError(std::uint32_t code, CQ_Module module, std::uint32_t formatId, ...) {
  va_list args;
  va_start(args, formatId);
  v_SetErrorVA(code, module, formatId, args);
  va_end(args);
}

void CQ_ErrorManager::v_SetErrorVA(std::uint32_t code, CQ_Module module, std::uint32_t formatId, va_list args) {
  MapFunction map = nullptr;
  st_error* record = begin(code, module, formatId, &map);
  if (!record) return;
  std::u16string text;
  if (!MapText(map, code, formatId, args, text)) {
    std::uint32_t codePage = code_pages::kANSI;
    const char* format = CQ_LoadString::slpsz_Find(record->h_Module, formatId, &codePage);
    if (format) text = code_pages::MultiToWide(formatting::FormatNarrow(format, args), codePage);
  }
  finish(record, text.data(), text.size());
}

void CQ_ErrorManager::v_SetError(std::uint32_t code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  v_SetErrorVA(code, format, args);
  va_end(args);
}

void CQ_ErrorManager::v_SetErrorVA(std::uint32_t code, const char* format, va_list args) {
  MapFunction map = nullptr;
  st_error* record = begin(code, CQ_Module{}, 0, &map);
  if (!record) return;
  std::u16string text;
  if (!MapText(map, code, 0, args, text)) {
    text = code_pages::MultiToWide(formatting::FormatNarrow(format, args), code_pages::kANSI);
  }
  finish(record, text.data(), text.size());
}

void CQ_ErrorManager::v_SetMessageError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  v_SetMessageErrorVA(format, args);
  va_end(args);
}

void CQ_ErrorManager::v_SetMessageError(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  v_SetMessageErrorVA(format, args);
  va_end(args);
}

void CQ_ErrorManager::v_SetMessageErrorVA(const char* format, va_list args) { v_SetErrorVA(0, format, args); }

void CQ_ErrorManager::v_SetMessageErrorVA(const char16_t* format, va_list args) {
  MapFunction map = nullptr;
  st_error* record = begin(0, CQ_Module{}, 0, &map);
  if (!record) return;
  std::u16string text;
  if (!MapText(map, 0, 0, args, text)) text = formatting::FormatWide(format, args);
  finish(record, text.data(), text.size());
}

void CQ_ErrorManager::v_SetSystemError() { setSystemError(nullptr, nullptr); }

void CQ_ErrorManager::v_SetSystemError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  setSystemError(format, &args);
  va_end(args);
}

void CQ_ErrorManager::v_SetSystemErrorVA(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  setSystemError(format, &copy);
  va_end(copy);
}

void CQ_ErrorManager::setSystemError(const char* format, va_list* args) {
  const int code = errno;
  char buffer[512];
  const char* message = strerror_r(code, buffer, sizeof buffer);
  std::u16string text = error_text::CleanSystemMessage(code_pages::MultiToWide(message ? message : "", SystemMessageCodePage()));
  if (format && args) {
    if (!text.empty() && text.back() == u' ') text.pop_back();
    text += u" [";
    text += code_pages::MultiToWide(formatting::FormatNarrow(format, *args), code_pages::kANSI);
    text += u"]";
  }
  MapFunction map = nullptr;
  st_error* record = begin(static_cast<std::uint32_t>(code), CQ_Module{}, 0, &map);
  if (record) finish(record, text.data(), text.size());
  errno = 0;
}

void CQ_ErrorManager::v_HoldError() {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  st_error* record = unlink(&pst_Current, thread);
  if (!record) return;
  releaseLocked(unlink(&pst_Held, thread));
  record->pst_Next = pst_Held;
  pst_Held = record;
}

bool CQ_ErrorManager::b_IsHoldError() const {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  return findLocked(pst_Held, thread) != nullptr;
}

void CQ_ErrorManager::v_ClearError() {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  st_error* record = unlink(&pst_Current, thread);
  if (!record) record = unlink(&pst_Held, thread);
  releaseLocked(record);
}

void CQ_ErrorManager::v_SetIgnoreError(bool ignore) {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  if (st_error* record = findLocked(pst_Current, thread)) record->b_Ignore = ignore ? 1 : 0;
}

bool CQ_ErrorManager::b_IsSetError() const {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  const st_error* record = findLocked(pst_Current, thread);
  return record && !record->b_Ignore;
}

std::uint32_t CQ_ErrorManager::n_GetErrorCode() const {
  const st_error* record = readable();
  return record ? record->n_Code : 0;
}

std::uint32_t CQ_ErrorManager::n_GetFormatID() const {
  const st_error* record = readable();
  return record ? record->n_FormatId : 0;
}

const char16_t* CQ_ErrorManager::qcuz_GetErrorMessage() const {
  const st_error* record = readable();
  return record ? record->au_Message : u"";
}

void CQ_ErrorManager::v_AddLocation(const char* file, std::uint32_t line) {
  const std::uint32_t thread = sn_GetThreadId();
  std::lock_guard<std::mutex> lock(co_Lock);
  st_error* record = findLocked(pst_Current, thread);
  if (!record) record = findLocked(pst_Held, thread);
  if (!record || !pst_FreeLocations) return;
  st_location* location = pst_FreeLocations;
  pst_FreeLocations = location->pst_Next;
  location->lpsz_File = file;
  location->n_Line = line;
  location->pst_Next = nullptr;
  if (record->pst_LastLocation) {
    record->pst_LastLocation->pst_Next = location;
  } else {
    record->pst_FirstLocation = location;
  }
  record->pst_LastLocation = location;
  ++record->n_LocationCount;
}

std::uint32_t CQ_ErrorManager::n_GetLocationCount() const {
  const st_error* record = readable();
  return record ? record->n_LocationCount : 0;
}

const char* CQ_ErrorManager::qccz_GetLocationFileAt(std::uint32_t index) const {
  const st_error* record = readable();
  if (!record) return nullptr;
  std::lock_guard<std::mutex> lock(co_Lock);
  const st_location* location = record->pst_FirstLocation;
  for (std::uint32_t i = 0; location && i < index; ++i) location = location->pst_Next;
  return location ? location->lpsz_File : nullptr;
}

std::uint32_t CQ_ErrorManager::n_GetLocationLineAt(std::uint32_t index) const {
  const st_error* record = readable();
  if (!record) return 0;
  std::lock_guard<std::mutex> lock(co_Lock);
  const st_location* location = record->pst_FirstLocation;
  for (std::uint32_t i = 0; location && i < index; ++i) location = location->pst_Next;
  return location ? location->n_Line : 0;
}

void CQ_ErrorManager::v_SetMapFunction(MapFunction function, std::uint32_t key) {
  if (!function) return;
  auto* item = new st_mapItem{key ? key : sn_GetThreadId(), function};
  std::lock_guard<std::mutex> lock(co_Lock);
  n_Add(&item);
}

void CQ_ErrorManager::v_RemoveMapFunction(std::uint32_t key) {
  if (!key) key = sn_GetThreadId();
  st_mapItem* removed = nullptr;
  {
    std::lock_guard<std::mutex> lock(co_Lock);
    for (std::uint32_t i = n_GetCount(); i >= 1; --i) {
      st_mapItem* item = nullptr;
      v_GetAt(&item, i);
      if (item && item->n_Key == key) {
        v_RemoveAt(i);
        removed = item;
        break;
      }
    }
  }
  delete removed;
}

void CQ_ErrorManager::v_SetInterruptOnError(bool interrupt) { b_InterruptOnError.store(interrupt); }

bool CQ_ErrorManager::b_GetInterruptOnError() const { return b_InterruptOnError.load(); }

bool CQ_ErrorManager::b_GetDebugMessageOnError() const { return b_DebugMessageOnError.load(); }

void CQ_ErrorManager::v_GetErrorLocationText(CQ_UString& text) const {
  const st_error* record = readable();
  if (!record) {
    text.vv_Init();
    return;
  }
  std::u16string body(record->au_Message);
  body += u"\n\n";
  {
    std::lock_guard<std::mutex> lock(co_Lock);
    for (const st_location* location = record->pst_FirstLocation; location; location = location->pst_Next) {
      char line[32];
      std::snprintf(line, sizeof line, ": line %u\n", static_cast<unsigned>(location->n_Line));
      body += error_text::FileNameOf(location->lpsz_File);
      body += Ascii(line);
    }
  }
  body.pop_back();  // the last line end
  if (body.size() > kMaxText) body.resize(kMaxText);
  text.vv_Init(body.data(), static_cast<std::uint32_t>(body.size()));
}

int CQ_ErrorManager::i_ErrorLocationWindow(std::uint32_t captionId, const char16_t* caption, std::uint32_t boxType) {
  const st_error* record = readable();
  const MessageBoxFunction show = gMessageBox.load(std::memory_order_acquire);
  if (!record || !show) return 0;
  CQ_UString body;
  v_GetErrorLocationText(body);
  CQ_UString title;
  if (caption) {
    title = caption;
  } else {
    CQ_LoadString::sv_LoadString(title, record->h_Module, captionId);
  }
  return show(body.qcuz_Get(), title.qcuz_Get(), boxType | sn4_SetForeground,
              gMessageBoxContext.load(std::memory_order_acquire));
}

void CQ_ErrorManager::sv_SetMessageBoxFunction(MessageBoxFunction function, void* context) {
  gMessageBoxContext.store(context, std::memory_order_release);
  gMessageBox.store(function, std::memory_order_release);
}
