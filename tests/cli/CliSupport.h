// Running the morvane program from a test: its exit status and what it
// printed on standard output and standard error.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

struct Outcome {
  int status;  // the exit status, or -1 when the program did not exit (a signal)
  std::string out;
  std::string err;
};

// Runs morvane with the arguments (a shell word list) in the folder.
inline Outcome Morvane(const std::string& arguments, const std::string& folder = ".") {
  const std::string errFile = std::filesystem::temp_directory_path() / ("morvane-err-" + std::to_string(getpid()));
  const std::string command = "cd '" + folder + "' && SOURCE_DATE_EPOCH=0 '" MORVANE_CLI "' " + arguments + " 2>'" +
                              errFile + "'";
  Outcome run{-1, "", ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  FILE* err = fopen(errFile.c_str(), "r");
  if (err) {
    while ((n = fread(buffer, 1, sizeof buffer, err)) > 0) run.err.append(buffer, n);
    fclose(err);
  }
  std::filesystem::remove(errFile);
  return run;
}
