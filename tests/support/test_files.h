// Small file helpers for tests, the same on POSIX and Win32: a scratch folder
// that is removed afterwards, whole-file reads and writes, and running a
// program with its output captured.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh empty folder under the system's temporary folder; removed, with
// everything in it, when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // path() joined with name by the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Makes dir the current directory for as long as the object lives.
class CurrentDir {
 public:
  explicit CurrentDir(const std::string& dir);
  ~CurrentDir();
  CurrentDir(const CurrentDir&) = delete;
  CurrentDir& operator=(const CurrentDir&) = delete;

 private:
  std::string previous_;
};

bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// Returns the file's bytes; *exists (when given) says whether it could be opened.
Bytes ReadFileBytes(const std::string& path, bool* exists = nullptr);
std::string ReadFileText(const std::string& path);
bool MakeDir(const std::string& path);
bool FileExists(const std::string& path);

// The folder holding the running test executable.
std::string ExecutableDir();

// The path of the program `name` built beside the running test executable
// (with ".exe" on Win32).
std::string ProgramBeside(const std::string& name);

// text as a console program of this build writes it: CR LF line ends on Win32.
std::string ConsoleText(const std::string& text);

// Runs commandLine (program and arguments, no shell syntax) in dir with
// standard output sent to the file stdoutPath. Returns the exit status, or -1
// when the program could not be started.
int RunProgram(const std::string& dir, const std::string& commandLine,
               const std::string& stdoutPath);
// As above, with standard error sent to the file stderrPath.
int RunProgram(const std::string& dir, const std::string& commandLine,
               const std::string& stdoutPath, const std::string& stderrPath);
