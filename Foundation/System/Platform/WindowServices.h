// Window messaging and message boxes, as the kernel expects them from the
// front end's window.
//
// The kernel notifies the front end synchronously: SendMessage returns only
// after the front end has handled the message (and, in a desktop front end,
// let pending user events run, so a Cancel button can be pressed). Message
// box answers keep their Windows values so stored decisions and callers
// agree on them.
#pragma once

#include <string>

#include "System/Export.h"

namespace Platform {

// Message box styles (combinable) and answers.
enum : unsigned {
  MB_OK = 0x00,
  MB_YESNOCANCEL = 0x03,
  MB_YESNO = 0x04,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// A front-end window that receives the kernel's registered messages and
// owns its message boxes. The front end implements it; the kernel never
// owns one.
class OSTRAKON_API Window {
 public:
  virtual ~Window();

  // Handles a registered message before returning.
  virtual long SendMessage(unsigned message, unsigned long wParam, long lParam) = 0;

  // Shows a message box with the given style and returns the answer
  // (IDOK, IDYES, IDNO or IDCANCEL).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
};

using HWND = Window*;

// Returns the identifier registered for a message name: the same name always
// gives the same identifier within a process; identifiers lie in 0xC000 to
// 0xFFFF as registered messages do. Thread-safe.
OSTRAKON_API unsigned RegisterWindowMessage(const char* name);

}  // namespace Platform
