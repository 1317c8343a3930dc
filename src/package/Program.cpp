#include "package/Program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace package {

int RunProgram(const std::string& Program, const std::vector<std::string>& Args,
               const std::string& LogPath, std::string& Error) {
  const int log = ::open(LogPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (log < 0) {
    Error = "cannot write the log '" + LogPath + "': " + std::strerror(errno);
    return -1;
  }
  const int none = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  // Everything the child needs is made before fork: it only redirects and executes.
  std::vector<std::string> words{Program};
  words.insert(words.end(), Args.begin(), Args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (none >= 0) ::dup2(none, STDIN_FILENO);
    ::dup2(log, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
    ::execv(Program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(log);
  if (none >= 0) ::close(none);
  if (pid < 0) {
    Error = std::string("cannot start a program: ") + std::strerror(errno);
    return -1;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) {
      Error = std::string("lost the program: ") + std::strerror(errno);
      return -1;
    }
  if (WIFSIGNALED(status)) {
    Error = Program + " ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
  }
  const int code = WEXITSTATUS(status);
  if (code == 127) Error = "cannot run '" + Program + "'";
  return code;
}

bool IsExecutable(const std::string& Path) {
  struct stat st;
  return ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(Path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const std::string& Name, const std::string& PathList) {
  size_t start = 0;
  while (start <= PathList.size()) {
    size_t end = PathList.find(':', start);
    if (end == std::string::npos) end = PathList.size();
    std::string folder = PathList.substr(start, end - start);
    const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + Name;
    if (IsExecutable(candidate)) return candidate;
    start = end + 1;
  }
  return std::string();
}

}  // namespace package
