#include "run_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace emberline::test {

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  ProcessResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0) return result;
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }

  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    if (!options.stdout_file.empty()) {
      const int fd = open(options.stdout_file.c_str(), O_WRONLY);
      if (fd < 0) _exit(126);
      dup2(fd, STDOUT_FILENO);
    } else {
      dup2(out_pipe[1], STDOUT_FILENO);
    }
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[0]);
    close(err_pipe[1]);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
    for (const int ignored : options.ignored_signals) std::signal(ignored, SIG_IGN);
    if (options.uid >= 0 && (setgid(static_cast<gid_t>(options.uid)) != 0 || setuid(static_cast<uid_t>(options.uid)) != 0))
      _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }

  // Both pipes at once, so a child filling one cannot stall on the other.
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  if (options.close_stdout) {
    close(fds[0].fd);
    fds[0].fd = -1;
    --open_count;
  }
  bool signalled = options.signal == 0;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_s);
  while (open_count > 0) {
    if (options.timeout_s > 0 && std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
    const int ready = poll(fds, 2, options.timeout_s > 0 ? 100 : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
        if (!signalled && result.err.find(options.signal_after) != std::string::npos) {
          kill(pid, options.signal);
          signalled = true;
          if (options.second_signal != 0) {
            usleep(100000);
            kill(pid, options.second_signal);
          }
        }
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_code = 128 + WTERMSIG(status);
  return result;
}

}  // namespace emberline::test
