#include "test_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

void RemoveTree(const std::string& path) {
#ifdef _WIN32
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
#else
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat info;
      if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        RemoveTree(child);
      } else {
        unlink(child.c_str());
      }
    }
    closedir(dir);
  }
  rmdir(path.c_str());
#endif
}

std::string GetCurrentDir() {
  char buffer[4096];
#ifdef _WIN32
  if (!_getcwd(buffer, sizeof buffer)) return ".";
#else
  if (!getcwd(buffer, sizeof buffer)) return ".";
#endif
  return buffer;
}

bool SetCurrentDir(const std::string& dir) {
#ifdef _WIN32
  return _chdir(dir.c_str()) == 0;
#else
  return chdir(dir.c_str()) == 0;
#endif
}

}  // namespace

ScratchDir::ScratchDir() {
#ifdef _WIN32
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static unsigned counter;
  for (;;) {
    char name[MAX_PATH + 64];
    snprintf(name, sizeof name, "%sorvanta-test-%lu-%u", base, GetCurrentProcessId(), ++counter);
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      break;
    }
  }
#else
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvanta-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) path_ = buffer.data();
#endif
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) RemoveTree(path_);
}

std::string ScratchDir::File(const std::string& name) const {
  return path_ + kSeparator + name;
}

CurrentDir::CurrentDir(const std::string& dir) : previous_(GetCurrentDir()) {
  SetCurrentDir(dir);
}

CurrentDir::~CurrentDir() {
  SetCurrentDir(previous_);
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

Bytes ReadFileBytes(const std::string& path, bool* exists) {
  Bytes bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (exists) *exists = file != nullptr;
  if (!file) return bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  fclose(file);
  return bytes;
}

std::string ReadFileText(const std::string& path) {
  Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool MakeDir(const std::string& path) {
#ifdef _WIN32
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
  return mkdir(path.c_str(), 0755) == 0;
#endif
}

bool FileExists(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file) fclose(file);
  return file != nullptr;
}

std::string ExecutableDir() {
  char buffer[4096] = {0};
#ifdef _WIN32
  GetModuleFileNameA(nullptr, buffer, sizeof buffer - 1);
#else
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  buffer[length] = '\0';
#endif
  std::string path = buffer;
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string ProgramBeside(const std::string& name) {
  std::string dir = ExecutableDir();
#ifdef _WIN32
  return dir + (dir.find('\\') != std::string::npos ? "\\" : "/") + name + ".exe";
#else
  return dir + "/" + name;
#endif
}

std::string ConsoleText(const std::string& text) {
#ifdef _WIN32
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
#else
  return text;
#endif
}

int RunProgram(const std::string& dir, const std::string& commandLine,
               const std::string& stdoutPath) {
  return RunProgram(dir, commandLine, stdoutPath, "");
}

int RunProgram(const std::string& dir, const std::string& commandLine,
               const std::string& stdoutPath, const std::string& stderrPath) {
  CurrentDir inDir(dir);
  std::string command = commandLine + " > " + stdoutPath;
  if (!stderrPath.empty()) command += " 2> " + stderrPath;
  int status = system(command.c_str());
#ifdef _WIN32
  // -1: the command interpreter itself could not be started; say why, since
  // the caller sees only an empty output.
  if (status == -1) fprintf(stderr, "RunProgram: system() could not start \"%s\": errno %d\n", command.c_str(), errno);
  return status;
#else
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
#endif
}
