// The settings store is a ".reg"-style text file:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Halvex\Halvex Morvane for FrameMaker\3.0\PATHS]
//   "DURING_SESSION"=dword:00000001
//   "SOURCE_FILES"="/home/user/docs/"
//
// The file is small, so every call reads it whole; writes rewrite it whole
// through a temporary file that is renamed over the old one. Lines that do
// not parse are dropped on the next write rather than stopping the program.
#include "System/Platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

namespace Platform {
namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char kHive[] = "HKEY_CURRENT_USER\\";

std::mutex g_lock;
std::string g_overrideFile;

std::string Lower(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct Value {
  std::string name;  // as first written
  RegistryValue data;
};

struct Key {
  std::string path;  // as first written
  std::map<std::string, Value> values;  // by lower-case name, sorted for a stable file
};

using Store = std::map<std::string, Key>;  // by lower-case path

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

// Reads a quoted string starting at text[pos] == '"'; returns the position
// after the closing quote, or npos when it is not closed.
std::size_t ReadQuoted(const std::string& text, std::size_t pos, std::string& out) {
  out.clear();
  for (std::size_t i = pos + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      char n = text[++i];
      out += (n == 'n') ? '\n' : n;
    } else if (c == '"') {
      return i + 1;
    } else {
      out += c;
    }
  }
  return std::string::npos;
}

Store Load(const std::string& file) {
  Store store;
  std::ifstream in(file, std::ios::binary);
  if (!in) return store;
  std::string line;
  Key* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      std::string path = line.substr(1, line.size() - 2);
      if (path.compare(0, sizeof(kHive) - 1, kHive) != 0) {
        current = nullptr;
        continue;
      }
      path.erase(0, sizeof(kHive) - 1);
      Key& key = store[Lower(path)];
      if (key.path.empty()) key.path = path;
      current = &key;
      continue;
    }
    if (!current || line.front() != '"') continue;
    std::string name;
    std::size_t pos = ReadQuoted(line, 0, name);
    if (pos == std::string::npos || pos >= line.size() || line[pos] != '=') continue;
    std::string rest = line.substr(pos + 1);
    Value value{name, std::uint32_t{0}};
    if (rest.compare(0, 6, "dword:") == 0 && rest.size() == 14) {
      char* end = nullptr;
      unsigned long n = std::strtoul(rest.c_str() + 6, &end, 16);
      if (*end != '\0') continue;
      value.data = static_cast<std::uint32_t>(n);
    } else if (!rest.empty() && rest.front() == '"') {
      std::string text;
      if (ReadQuoted(rest, 0, text) != rest.size()) continue;
      value.data = text;
    } else {
      continue;
    }
    current->values[Lower(name)] = value;
  }
  return store;
}

bool Save(const std::string& file, const Store& store) {
  std::ostringstream out;
  out << kHeader << "\n";
  for (const auto& [lower, key] : store) {
    out << "\n[" << kHive << key.path << "]\n";
    for (const auto& [lname, value] : key.values) {
      out << '"' << Escape(value.name) << "\"=";
      if (const auto* n = std::get_if<std::uint32_t>(&value.data)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(*n));
        out << buf << "\n";
      } else {
        out << '"' << Escape(std::get<std::string>(value.data)) << "\"\n";
      }
    }
  }
  const std::string text = out.str();

  std::string dir = file.substr(0, file.rfind('/') == std::string::npos ? 0 : file.rfind('/'));
  if (!dir.empty()) {
    // Create the folder chain (mode 0700: settings are private to the user).
    for (std::size_t i = 1; i <= dir.size(); ++i) {
      if (i == dir.size() || dir[i] == '/') {
        std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
      }
    }
  }
  std::string temp = file + ".tmp." + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      unlink(temp.c_str());
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    unlink(temp.c_str());
    return false;
  }
  if (rename(temp.c_str(), file.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool SetValue(const std::string& keyPath, const std::string& name, RegistryValue data) {
  std::lock_guard<std::mutex> guard(g_lock);
  const std::string file = Registry::StoreFile();
  if (file.empty()) return false;
  Store store = Load(file);
  Key& key = store[Lower(keyPath)];
  if (key.path.empty()) key.path = keyPath;
  Value& value = key.values[Lower(name)];
  if (value.name.empty()) value.name = name;
  value.data = std::move(data);
  return Save(file, store);
}

}  // namespace

std::string Registry::StoreFile() {
  if (!g_overrideFile.empty()) return g_overrideFile;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::string();
    base = std::string(home) + "/.config";
  }
  return base + "/halvex/registry.reg";
}

void Registry::SetStoreFile(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_overrideFile = path;
}

bool Registry::KeyExists(const std::string& key) {
  std::lock_guard<std::mutex> guard(g_lock);
  Store store = Load(StoreFile());
  return store.count(Lower(key)) != 0;
}

std::optional<RegistryValue> Registry::QueryValue(const std::string& key, const std::string& name) {
  std::lock_guard<std::mutex> guard(g_lock);
  Store store = Load(StoreFile());
  auto k = store.find(Lower(key));
  if (k == store.end()) return std::nullopt;
  auto v = k->second.values.find(Lower(name));
  if (v == k->second.values.end()) return std::nullopt;
  return v->second.data;
}

bool Registry::SetDword(const std::string& key, const std::string& name, std::uint32_t value) {
  return SetValue(key, name, value);
}

bool Registry::SetString(const std::string& key, const std::string& name, const std::string& value) {
  return SetValue(key, name, value);
}

}  // namespace Platform
