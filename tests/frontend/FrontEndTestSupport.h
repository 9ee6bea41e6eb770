// Helpers shared by the front end's tests.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace brannock_test {

// The whole of a text file; "" when it cannot be read.
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace brannock_test
