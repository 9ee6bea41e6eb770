#include "System/Platform/WindowServices.h"

#include <map>
#include <mutex>

namespace Platform {

Window::~Window() = default;

unsigned RegisterWindowMessage(const char* name) {
  static std::mutex lock;
  static std::map<std::string, unsigned> registered;
  if (!name || !*name) return 0;
  std::lock_guard<std::mutex> guard(lock);
  auto it = registered.find(name);
  if (it != registered.end()) return it->second;
  // Registered messages occupy 0xC000 to 0xFFFF; running out is not a
  // concern for the handful of names a program registers.
  unsigned id = 0xC000u + static_cast<unsigned>(registered.size());
  if (id > 0xFFFFu) return 0;
  registered.emplace(name, id);
  return id;
}

}  // namespace Platform
