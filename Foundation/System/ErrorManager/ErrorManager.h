// CQ_ErrorManager: the foundation's per-thread error records.
//
// One process-wide instance (spco_Get; created by the static sco_Init and
// destroyed by sco_Exit, so spco_Get is null before and after: check it).
// Each thread has at most one current error: the first error set stays
// until it is cleared or held, later ones are ignored. Held errors stay
// readable but no longer block a new error; setting a new error destroys
// the thread's held error. Every error carries the places it passed
// through, innermost first. Records come from fixed pools (20 errors, 100
// locations); when a pool is empty the new error or location is dropped
// silently, so callers must not rely on an error being recorded.
//
// All members act on the calling thread's error unless stated; getters
// read the current error, or the held one when there is none. Lists, pools
// and the map table change only under the manager's lock; a record's text
// is written and read only by its own thread. Texts returned stay valid
// until the thread clears or replaces that error.
//
// Texts: the stored message is "(<code>): <text>", cut to 1,023 units plus
// the terminating zero. The text comes from the newest map function the
// thread registered, when it answers non-zero (it gets a buffer of 2,048
// units), else from the format with the format id in the module's string
// table (CQ_LoadString), formatted printf-style with the arguments ("%s"
// takes 8-bit text). Format texts given directly are formatted the same way
// (8-bit formats) or by the 16-bit rules of CQ_String (16-bit formats).
//
// The interrupt-on-error and debug-message-on-error flags are kept for
// callers that want them; the manager itself neither stops the program nor
// prints. Nothing is shown to the user unless a front end installs a
// message box function (sv_SetMessageBoxFunction).
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>

#include "System/Export.h"
#include "System/Init.h"
#include "System/String/LoadString.h"
#include "System/String/VoidArray.h"

class CQ_UString;

class OSTRAKON_API CQ_ErrorManager : public CQ_VoidArray {
 public:
  static constexpr std::uint32_t sn4_MessageUnits = 1024;
  static constexpr std::uint32_t sn4_ErrorRecords = 20;
  static constexpr std::uint32_t sn4_LocationRecords = 100;
  static constexpr std::uint32_t sn4_MapBufferUnits = 2048;
  // Added to every message box type (bring the box to the foreground).
  static constexpr std::uint32_t sn4_SetForeground = 0x00010000;

  struct st_location {
    const char* lpsz_File;  // lives as long as the program (usually __FILE__)
    std::uint32_t n_Line;
    st_location* pst_Next;
  };

  struct st_error {
    CQ_Module h_Module;
    std::uint32_t n_ThreadId;
    std::uint32_t n_Code;
    std::uint32_t n_FormatId;
    char16_t au_Message[sn4_MessageUnits];
    std::uint32_t n_LocationCount;
    st_location* pst_FirstLocation;
    st_location* pst_LastLocation;
    st_error* pst_Next;
    std::uint32_t b_Ignore;
  };

  // Writes the text for an error into `buffer` (`size` units, zero-
  // terminated) and returns non-zero, or returns 0 to let the default
  // text be used.
  using MapFunction = int (*)(char16_t* buffer, std::uint32_t size, std::uint32_t code, std::uint32_t formatId,
                              va_list args);
  struct st_mapItem {
    std::uint32_t n_Key;  // identifier of the thread that registered it
    MapFunction pfn_Map;
  };

  // Shows a message box and returns the answer (0 when nothing was shown).
  using MessageBoxFunction = int (*)(const char16_t* text, const char16_t* caption, std::uint32_t type,
                                     void* context);

  static CQ_ErrorManager* spco_Get();
  static void sv_Init();
  static void sv_Exit();
  // The module whose string table supplies formats when none is given.
  static void sv_SetInstance(CQ_Module module);
  static CQ_Init sco_Init;
  static CQ_Exit sco_Exit;

  // The identifier the manager uses for the calling thread.
  static std::uint32_t sn_GetThreadId();

  void v_SetError(std::uint32_t code, CQ_Module module, std::uint32_t formatId, ...);
  void v_SetErrorVA(std::uint32_t code, CQ_Module module, std::uint32_t formatId, va_list args);
  // The text is the formatted 8-bit format (format id 0, default module).
  void v_SetError(std::uint32_t code, const char* format, ...);
  void v_SetErrorVA(std::uint32_t code, const char* format, va_list args);
  // An error with code 0 whose text is the formatted format.
  void v_SetMessageError(const char* format, ...);
  void v_SetMessageError(const char16_t* format, ...);
  void v_SetMessageErrorVA(const char* format, va_list args);
  void v_SetMessageErrorVA(const char16_t* format, va_list args);
  // Records errno with the system's message text (line ends cleaned away)
  // as the error, then sets errno to 0. With a format, the formatted text
  // follows the message as " [text]".
  void v_SetSystemError();
  void v_SetSystemError(const char* format, ...);
  void v_SetSystemErrorVA(const char* format, va_list args);

  void v_HoldError();
  bool b_IsHoldError() const;
  // Destroys the current error, or when there is none the held one.
  void v_ClearError();
  void v_SetIgnoreError(bool ignore);
  // True when the thread has a current error that is not ignored.
  bool b_IsSetError() const;
  std::uint32_t n_GetErrorCode() const;
  std::uint32_t n_GetFormatID() const;
  // The stored message, or u"" without an error.
  const char16_t* qcuz_GetErrorMessage() const;

  // Appends a location to the error (current, else held); dropped when
  // there is no error or no free location record.
  void v_AddLocation(const char* file, std::uint32_t line);
  std::uint32_t n_GetLocationCount() const;
  // Location `index` (0-based, innermost first); null / 0 out of range.
  const char* qccz_GetLocationFileAt(std::uint32_t index) const;
  std::uint32_t n_GetLocationLineAt(std::uint32_t index) const;

  // Registers a map function for the thread `key` (0: the calling thread).
  void v_SetMapFunction(MapFunction function, std::uint32_t key = 0);
  // Removes the newest map function of thread `key` (0: the calling thread).
  void v_RemoveMapFunction(std::uint32_t key = 0);

  // Sizes of the record pools.
  std::uint32_t n_GetErrorRecordCount() const { return n_ErrorCount; }
  std::uint32_t n_GetLocationRecordCount() const { return n_LocationCount; }

  void v_SetInterruptOnError(bool interrupt);
  bool b_GetInterruptOnError() const;
  bool b_GetDebugMessageOnError() const;

  // The body of the error window: the message, a blank line, then one line
  // per location, "<file name>: line <n>", where the file name is the part
  // after the last "\" or "/" of the recorded name, or "(unknown file)"
  // when it has neither; the last line end is dropped and the text is cut
  // to 1,023 units. Empty without an error.
  void v_GetErrorLocationText(CQ_UString& text) const;
  // Shows the error in a message box through the installed function:
  // caption `caption`, or when it is null the string `captionId` of the
  // error's module; type `boxType` plus sn4_SetForeground. Returns the
  // answer, or 0 when there is no error or no message box function.
  int i_ErrorLocationWindow(std::uint32_t captionId, const char16_t* caption, std::uint32_t boxType);
  static void sv_SetMessageBoxFunction(MessageBoxFunction function, void* context);

  CQ_ErrorManager(const CQ_ErrorManager&) = delete;
  CQ_ErrorManager& operator=(const CQ_ErrorManager&) = delete;

 private:
  CQ_ErrorManager(std::uint32_t errors, std::uint32_t locations);
  ~CQ_ErrorManager();

  st_error* begin(std::uint32_t code, CQ_Module module, std::uint32_t formatId, MapFunction* map);
  void finish(st_error* record, const char16_t* text, std::size_t length);
  void setSystemError(const char* format, va_list* args);
  st_error* findLocked(st_error* list, std::uint32_t thread) const;
  st_error* readable() const;
  st_error* unlink(st_error** list, std::uint32_t thread);
  void releaseLocked(st_error* record);

  std::uint32_t n_ErrorCount;
  st_error* ast_Errors;
  st_error* pst_Free;
  st_error* pst_Current;
  st_error* pst_Held;
  std::uint32_t n_LocationCount;
  st_location* ast_Locations;
  st_location* pst_FreeLocations;
  mutable std::mutex co_Lock;
  std::atomic<bool> b_InterruptOnError;
  std::atomic<bool> b_DebugMessageOnError;
};
