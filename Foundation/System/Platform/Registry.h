// Per-user settings store standing in for the current user's registry hive.
//
// Keys are backslash-separated paths ("Software\Halvex\<app>\3.0\PATHS");
// key and value names compare without regard to case, as in the registry.
// Values are 32-bit DWORDs or strings. The store lives in one readable
// ".reg"-style text file, by default $XDG_CONFIG_HOME/halvex/registry.reg
// (falling back to $HOME/.config). Every write re-reads the file, changes
// it in memory and replaces it atomically (temporary file, fsync, rename),
// so a crash leaves either the old or the new store, never half of one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "System/Export.h"

namespace Platform {

// A stored value: a DWORD or a string.
using RegistryValue = std::variant<std::uint32_t, std::string>;

class OSTRAKON_API Registry {
 public:
  // The file that holds the store for the current user.
  static std::string StoreFile();

  // Overrides the store file (tests, alternative profiles). An empty path
  // restores the default location.
  static void SetStoreFile(const std::string& path);

  // True when the key exists (it was created by an earlier write).
  static bool KeyExists(const std::string& key);

  // The value, or nothing when the key or the value is missing or the
  // store cannot be read.
  static std::optional<RegistryValue> QueryValue(const std::string& key, const std::string& name);

  // Creates the key when needed and sets the value. Returns false when the
  // store could not be written; the previous store is then left unchanged.
  static bool SetDword(const std::string& key, const std::string& name, std::uint32_t value);
  static bool SetString(const std::string& key, const std::string& name, const std::string& value);
};

}  // namespace Platform
