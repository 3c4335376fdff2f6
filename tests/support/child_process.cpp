#include "support/child_process.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace support {
namespace {

const char kChildOption[] = "--vantrel-child=";
const char kReportOption[] = "--vantrel-report=";

std::map<std::string, ChildScenario>& scenarios() {
  static std::map<std::string, ChildScenario> registry;
  return registry;
}

// The child's result as it hands it over: a small shared record, filled in
// before the event is set. The names are the parent's process id and a
// count, so each run has its own pair.
class ReportChannel {
 public:
  ReportChannel() = default;
  ReportChannel(const ReportChannel&) = delete;
  ReportChannel& operator=(const ReportChannel&) = delete;
  ~ReportChannel() {
    if (record_) UnmapViewOfFile(record_);
    if (mapping_) CloseHandle(mapping_);
    if (ready_) CloseHandle(ready_);
  }

  static std::string newName() {
    static volatile LONG count = 0;
    return "Local\\vantrel-child-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(InterlockedIncrement(&count));
  }

  // In the parent: objects of that name must not exist yet.
  bool create(const std::string& name) {
    mapping_ =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Record), name.c_str());
    if (!mapping_ || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str());
    if (!ready_ || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    return map();
  }

  // In the child.
  bool open(const std::string& name) {
    mapping_ = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name.c_str());
    ready_ = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + "-ready").c_str());
    return mapping_ && ready_ && map();
  }

  void hand(DWORD exitCode) {
    record_->exitCode = exitCode;
    InterlockedExchange(&record_->handed, 1);
    SetEvent(ready_);
  }

  HANDLE ready() const { return ready_; }

  bool handed() const { return WaitForSingleObject(ready_, 0) == WAIT_OBJECT_0 && record_->handed == 1; }

  DWORD exitCode() const { return record_->exitCode; }

 private:
  struct Record {
    volatile LONG handed;
    DWORD exitCode;
  };

  bool map() {
    record_ =
        static_cast<Record*>(MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Record)));
    return record_ != nullptr;
  }

  HANDLE mapping_ = nullptr;
  HANDLE ready_ = nullptr;
  Record* record_ = nullptr;
};

// Waits for the child to end: up to the timeout while it has not handed over
// its result, then up to the grace period.
class ChildWatch {
 public:
  ChildWatch(const char* scenario, const PROCESS_INFORMATION& process, const ReportChannel& report,
             const ChildOptions& options, ChildResult& result)
      : scenario_(scenario),
        process_(process),
        report_(report),
        options_(options),
        result_(result),
        start_(GetTickCount()) {}

  // Ends the child when its time is up; true once it has been ended.
  bool endIfDue() {
    if (ended_) return true;
    const DWORD now = GetTickCount();
    if (!handed_ && report_.handed()) {
      handed_ = true;
      handedAt_ = now;
    }
    if (handed_) {
      if (now - handedAt_ < options_.exitGraceMs) return false;
      // The result is complete; only the process's own ending is stuck.
      // (A child that has just ended by itself keeps its own exit code.)
      if (TerminateProcess(process_.hProcess, report_.exitCode())) {
        std::fprintf(
            stderr,
            "child scenario %s handed over exit code %lu but was still running %lu ms later: ended it\n",
            scenario_, report_.exitCode(), options_.exitGraceMs);
        result_.endedAfterReport = true;
      }
    } else {
      if (now - start_ < options_.timeoutMs) return false;
      TerminateProcess(process_.hProcess, 0xDEAD);
      timedOut_ = true;
    }
    ended_ = true;
    return true;
  }

  bool timedOut() const { return timedOut_; }

 private:
  const char* scenario_;
  const PROCESS_INFORMATION& process_;
  const ReportChannel& report_;
  const ChildOptions& options_;
  ChildResult& result_;
  const DWORD start_;
  bool handed_ = false;
  DWORD handedAt_ = 0;
  bool ended_ = false;
  bool timedOut_ = false;
};

const DWORD kPollMs = 100;
const DWORD kLastEventsMs = 5000;

void waitForChild(const PROCESS_INFORMATION& process, const ReportChannel& report, ChildWatch& watch) {
  const HANDLE handles[] = {process.hProcess, report.ready()};
  // Once the result is in, only the process is worth waiting for.
  DWORD count = 2;
  for (;;) {
    const DWORD wait = WaitForMultipleObjects(count, handles, FALSE, kPollMs);
    if (wait == WAIT_OBJECT_0) return;
    if (wait == WAIT_OBJECT_0 + 1) count = 1;
    if (watch.endIfDue()) {
      WaitForSingleObject(process.hProcess, 5000);
      return;
    }
  }
}

void collectDebugOutput(const PROCESS_INFORMATION& process, ChildResult& result, ChildWatch& watch) {
  DWORD endedAt = 0;
  bool ended = false;
  for (;;) {
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, kPollMs)) {
      if (!watch.endIfDue() || WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) continue;
      // The last debug events of an ended process come a little later;
      // should they never come, the process is over all the same.
      if (!ended) {
        ended = true;
        endedAt = GetTickCount();
      } else if (GetTickCount() - endedAt > kLastEventsMs) {
        return;
      }
      continue;
    }
    // Late events of an earlier child debugged by this thread are let go.
    const bool ours = event.dwProcessId == process.dwProcessId;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT: {
        if (!ours) break;
        const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
        std::string text(info.nDebugStringLength, '\0');
        SIZE_T read = 0;
        ReadProcessMemory(process.hProcess, info.lpDebugStringData, &text[0], text.size(), &read);
        text.resize(read);
        if (!text.empty() && text.back() == '\0') text.pop_back();
        result.debugOutput.push_back(text);
        break;
      }
      case EXCEPTION_DEBUG_EVENT:
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        if (ours) return;
        continue;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    watch.endIfDue();
  }
}

LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Hands the result to the parent that asked for it on the command line.
void handOver(int argc, char** argv, DWORD exitCode) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kReportOption, sizeof kReportOption - 1) != 0) continue;
    ReportChannel report;
    if (report.open(argv[i] + sizeof kReportOption - 1)) {
      report.hand(exitCode);
    } else {
      std::fprintf(stderr, "cannot hand over the result (error %lu)\n", GetLastError());
    }
  }
}

}  // namespace

ChildRegistration::ChildRegistration(const char* name, ChildScenario scenario) {
  scenarios()[name] = scenario;
}

ChildResult runChild(const char* scenario, const ChildOptions& options) {
  ChildResult result;
  const std::string reportName = ReportChannel::newName();
  ReportChannel report;
  if (!report.create(reportName)) {
    std::fprintf(stderr, "cannot make the result record for child scenario %s (error %lu)\n", scenario,
                 GetLastError());
    return result;
  }
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string commandLine =
      std::string("\"") + program + "\" " + kChildOption + scenario + " " + kReportOption + reportName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  DWORD flags = options.creationFlags | (options.debug ? DEBUG_ONLY_THIS_PROCESS : 0);
  if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "cannot start child scenario %s (error %lu)\n", scenario, GetLastError());
    return result;
  }
  ChildWatch watch(scenario, process, report, options, result);
  if (options.debug) {
    collectDebugOutput(process, result, watch);
    WaitForSingleObject(process.hProcess, options.timeoutMs);
  } else {
    waitForChild(process, report, watch);
  }
  if (!watch.timedOut()) {
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    result.finished = true;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

bool runChildScenarioIfAsked(int argc, char** argv, int* exitCode) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kChildOption, sizeof kChildOption - 1) == 0) {
      // A crash must end the child with its exception code, not start a
      // debugger that nobody will attend to.
      SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
      SetUnhandledExceptionFilter(endOnCrash);
      auto found = scenarios().find(argv[i] + sizeof kChildOption - 1);
      if (found == scenarios().end()) {
        std::fprintf(stderr, "no child scenario %s\n", argv[i]);
        *exitCode = 120;
      } else {
        *exitCode = found->second();
      }
      handOver(argc, argv, static_cast<DWORD>(*exitCode));
      return true;
    }
  }
  return false;
}

}  // namespace support
