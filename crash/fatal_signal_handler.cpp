#include "fatal_signal_handler.h"

#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <boost/stacktrace/safe_dump_to.hpp>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <filesystem>

#include "report_file.h"
#include "report_sections.h"
#include "signal_safe_writer.h"

extern char** environ;

namespace kestrin::crash {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kMaxFrames = 64;

// Everything the handler needs, copied into fixed buffers at installation: the
// handler can neither allocate nor follow std::string's pointers safely.
// Process-wide by nature: a signal handler has no other way in.
struct HandlerSetup {
  char program[128];
  char version[64];
  char executable[PATH_MAX];
  char reportPath[PATH_MAX];
  char reporterPath[PATH_MAX];
};
HandlerSetup setup{};
std::atomic_flag handling = ATOMIC_FLAG_INIT;
alignas(16) char alternateStack[64 * 1024];

void CopyText(char* target, std::size_t size, const std::string& text) {
  const std::size_t length = text.size() < size - 1 ? text.size() : size - 1;
  text.copy(target, length);
  target[length] = '\0';
}

void WriteFailure(SafeWriter& out, int signal, const siginfo_t* info) {
  WriteTitle(out, "Failure");
  const char* name = FatalSignalName(signal);
  out.Text("Signal: ").Text(name != nullptr ? name : "unknown").Text(" (").Decimal(signal).Text(")").Line();
  const char* code = SignalCodeName(signal, info->si_code);
  out.Text("Code: ").Text(code != nullptr ? code : "unknown").Text(" (").Decimal(info->si_code).Text(")").Line();
  if (info->si_code > 0 && signal != SIGABRT) {
    out.Text("Fault address: ").Hex(reinterpret_cast<std::uintptr_t>(info->si_addr)).Line();
  } else {
    out.Text("Sent by process ").Decimal(info->si_pid).Line();
  }
  out.Text("Thread: ").Decimal(static_cast<long>(syscall(SYS_gettid))).Line();
}

std::uintptr_t ProgramCounter(const ucontext_t* context) {
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(context->uc_mcontext.pc);
#else
  (void)context;
  return 0;
#endif
}

void WriteRegisters(SafeWriter& out, const ucontext_t* context) {
  WriteTitle(out, "Registers");
#if defined(__x86_64__)
  struct Named {
    const char* name;
    int index;
  };
  constexpr Named kRegisters[] = {
      {"rip", REG_RIP}, {"rsp", REG_RSP}, {"rbp", REG_RBP}, {"rax", REG_RAX}, {"rbx", REG_RBX},
      {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI}, {"rdi", REG_RDI}, {"r8", REG_R8},
      {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11}, {"r12", REG_R12}, {"r13", REG_R13},
      {"r14", REG_R14}, {"r15", REG_R15}, {"eflags", REG_EFL}, {"err", REG_ERR}, {"trapno", REG_TRAPNO},
  };
  for (const Named& reg : kRegisters) {
    out.Text(reg.name).Text(": ").Hex(static_cast<std::uintptr_t>(context->uc_mcontext.gregs[reg.index]), 16);
    out.Line();
  }
#elif defined(__aarch64__)
  for (int i = 0; i < 31; ++i) out.Text("x").Decimal(i).Text(": ").Hex(context->uc_mcontext.regs[i], 16).Line();
  out.Text("sp: ").Hex(context->uc_mcontext.sp, 16).Line();
  out.Text("pc: ").Hex(context->uc_mcontext.pc, 16).Line();
#else
  (void)context;
  out.Text("(not known for this processor)").Line();
#endif
}

// The frames of the failing thread: the unwinder walks through this handler
// and the kernel's signal frame into the code that failed; the frames from
// the faulting instruction on are the interesting ones.
void WriteRawFrames(SafeWriter& out, const ucontext_t* context) {
  WriteTitle(out, "Stack frames (raw)");
  out.Flush();
  const void* frames[kMaxFrames];
  const std::size_t count = boost::stacktrace::safe_dump_to(0, frames, sizeof frames);
  WriteFrameLines(out, frames, count, ProgramCounter(context));
}

// The sections that need nothing but the signal's own data, fixed buffers
// and system calls: they cannot fault. Each is on disk before the next.
void WriteFirstSections(int fd, int signal, const siginfo_t* info, const ucontext_t* context) {
  struct stat status {};
  SafeWriter out(fd);
  if (fstat(fd, &status) == 0 && status.st_size > 0) out.Text(kReportSeparator).Line();
  out.Text(kReportTitle).Line();
  char commandLine[4096];
  std::size_t commandLineSize = 0;
  if (const int cmdline = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC); cmdline >= 0) {
    const ssize_t got = read(cmdline, commandLine, sizeof commandLine);
    commandLineSize = got > 0 ? static_cast<std::size_t>(got) : 0;
    close(cmdline);
  }
  WriteHeader(out, std::time(nullptr), setup.program, setup.version, setup.executable, commandLine,
              commandLineSize, static_cast<long>(getpid()));
  WriteFailure(out, signal, info);
  out.Flush();
  WriteRegisters(out, context);
  out.Flush();
  // The copy the program published after its last event, not its live state.
  WriteEditorState(out, PublishedEditorFacts());
}

// The module list (build-ids read from the modules' headers in memory) and
// the unwinder's raw frames (it walks a stack the failure may have broken).
void WriteSectionsThatMayFault(int fd, const ucontext_t* context) {
  if (fd < 0) return;
  SafeWriter out(fd);
  WriteModules(out);
  // The frames section flushes the modules with its title, before the
  // unwinder runs.
  WriteRawFrames(out, context);
}

// Writes "value" in decimal into `text` (at least 24 bytes).
void DecimalText(long value, char* text) {
  char digits[24];
  int count = 0;
  unsigned long magnitude = static_cast<unsigned long>(value < 0 ? -value : value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int at = 0;
  if (value < 0) text[at++] = '-';
  while (count > 0) text[at++] = digits[--count];
  text[at] = '\0';
}

// Starts the reporter with `input` (the read end of a pipe, or -1) as its
// standard input; the child's pid, or -1.
long StartReporter(int signal, int input) {
  char pidText[24];
  char signalText[24];
  DecimalText(static_cast<long>(getpid()), pidText);
  DecimalText(signal, signalText);
  char* const argv[] = {setup.reporterPath, setup.reportPath, pidText, signalText, setup.executable, nullptr};
  // The raw system call: fork() would run the atfork handlers of every
  // library, which may take locks the crashed thread holds.
  const long child = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // No pipe: /dev/null, which the reporter takes as "the report is
    // complete" (it only waits on a pipe).
    const int in = input >= 0 ? input : open("/dev/null", O_RDONLY);
    if (in == STDIN_FILENO) {
      fcntl(in, F_SETFD, 0);
    } else if (in >= 0) {
      dup2(in, STDIN_FILENO);
    }
    execve(setup.reporterPath, argv, environ);
    _exit(127);
  }
  return child;
}

void WaitForReporter(long child) {
  if (child < 0) return;
  int status = 0;
  while (waitpid(static_cast<pid_t>(child), &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    if (const int fd = OpenReportFile(setup.reportPath); fd >= 0) {
      SafeWriter out(fd);
      out.Text("(").Text(setup.reporterPath).Text(" could not be started)").Line();
      out.Flush();
      close(fd);
    }
  }
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  if (handling.test_and_set()) {
    // Another thread is reporting already: this one just fails.
    RestoreDefaultAction(signal);
    if (info->si_code <= 0) raise(signal);
    return;
  }
  const int savedErrno = errno;
  const int fd = setup.reportPath[0] != '\0' ? OpenReportFile(setup.reportPath) : -1;
  if (fd >= 0) WriteFirstSections(fd, signal, info, static_cast<const ucontext_t*>(context));
  // From here on a step may fault again: the module headers are read from
  // memory and the unwinder walks a stack the failure may have broken. So the
  // reporter runs already, and learns through a pipe whether this handler
  // got to the end ("done") or died on the way (the pipe just closes).
  int toReporter[2] = {-1, -1};
  if (pipe2(toReporter, O_CLOEXEC) != 0) toReporter[0] = toReporter[1] = -1;
  const auto* machine = static_cast<const ucontext_t*>(context);
  // Without a pipe the reporter could not wait: it starts once all is written.
  if (toReporter[0] < 0) WriteSectionsThatMayFault(fd, machine);
  const long reporter = StartReporter(signal, toReporter[0]);
  if (toReporter[0] >= 0) {
    close(toReporter[0]);
    WriteSectionsThatMayFault(fd, machine);
  }
  if (fd >= 0) close(fd);
  if (toReporter[1] >= 0) {
    // A reporter that ended already must not end this process by SIGPIPE.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous);
    const ssize_t sent = write(toReporter[1], kHandlerDone, SafeLength(kHandlerDone));
    (void)sent;  // nothing to do about a closed pipe
    close(toReporter[1]);
    sigaction(SIGPIPE, &previous, nullptr);
  }
  WaitForReporter(reporter);
  RestoreDefaultAction(signal);
  errno = savedErrno;
  // A fault comes back when the failing instruction runs again; a signal that
  // was sent (kill, abort) is raised once more. Either way with the default
  // action now, which ends the process once this handler returns.
  if (info->si_code <= 0 || signal == SIGABRT) raise(signal);
}

}  // namespace

FatalSignalSetup SetupForThisProgram(const std::string& program, const std::string& version) {
  FatalSignalSetup result;
  result.program = program;
  result.version = version;
  std::error_code error;
  result.executable = std::filesystem::read_symlink("/proc/self/exe", error).string();
  result.reporterPath = (std::filesystem::path(result.executable).parent_path() / kReporterName).string();
  result.reportPath = DefaultReportPath().string();
  return result;
}

void InstallFatalSignalHandler(const FatalSignalSetup& newSetup) {
  CopyText(setup.program, sizeof setup.program, newSetup.program);
  CopyText(setup.version, sizeof setup.version, newSetup.version);
  CopyText(setup.executable, sizeof setup.executable, newSetup.executable);
  CopyText(setup.reportPath, sizeof setup.reportPath, newSetup.reportPath);
  CopyText(setup.reporterPath, sizeof setup.reporterPath, newSetup.reporterPath);

  // The unwinder loads what it needs on its first use; let that happen now,
  // not inside the handler.
  const void* warmUp[4];
  boost::stacktrace::safe_dump_to(0, warmUp, sizeof warmUp);

  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  sigaltstack(&stack, nullptr);

  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  // SA_RESETHAND: a second fault of the same kind inside the handler meets the
  // default action. The other fatal signals are blocked while it runs, and the
  // kernel ends a process whose fault signal is blocked.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (const int signal : kFatalSignals) sigaddset(&action.sa_mask, signal);
  for (const int signal : kFatalSignals) sigaction(signal, &action, nullptr);
}

void RestoreDefaultAction(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

const char* FatalSignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return nullptr;
  }
}

const char* SignalCodeName(int signal, int code) {
  switch (code) {
    case SI_USER: return "SI_USER";
    case SI_TKILL: return "SI_TKILL";
    case SI_QUEUE: return "SI_QUEUE";
    case SI_KERNEL: return "SI_KERNEL";
    default: break;
  }
  switch (signal) {
    case SIGSEGV:
      if (code == SEGV_MAPERR) return "SEGV_MAPERR";
      if (code == SEGV_ACCERR) return "SEGV_ACCERR";
      break;
    case SIGBUS:
      if (code == BUS_ADRALN) return "BUS_ADRALN";
      if (code == BUS_ADRERR) return "BUS_ADRERR";
      if (code == BUS_OBJERR) return "BUS_OBJERR";
      break;
    case SIGFPE:
      if (code == FPE_INTDIV) return "FPE_INTDIV";
      if (code == FPE_INTOVF) return "FPE_INTOVF";
      if (code == FPE_FLTDIV) return "FPE_FLTDIV";
      if (code == FPE_FLTOVF) return "FPE_FLTOVF";
      if (code == FPE_FLTUND) return "FPE_FLTUND";
      if (code == FPE_FLTRES) return "FPE_FLTRES";
      if (code == FPE_FLTINV) return "FPE_FLTINV";
      break;
    case SIGILL:
      if (code == ILL_ILLOPC) return "ILL_ILLOPC";
      if (code == ILL_ILLOPN) return "ILL_ILLOPN";
      if (code == ILL_ILLADR) return "ILL_ILLADR";
      if (code == ILL_PRVOPC) return "ILL_PRVOPC";
      break;
    default:
      break;
  }
  return nullptr;
}

}  // namespace kestrin::crash
