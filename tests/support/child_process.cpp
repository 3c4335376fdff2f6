#include "support/child_process.h"

#include <gtest/gtest.h>

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

// The child's result as it hands it over: a small shared record, its notes
// written as they come, its exit code last, then the event set. The names
// are the parent's process id and a count, so each run has its own pair.
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

  void note(const std::string& line) {
    const std::size_t used = std::strlen(record_->notes);
    std::snprintf(record_->notes + used, sizeof record_->notes - used, "%s\n", line.c_str());
  }

  void hand(DWORD exitCode) {
    record_->exitCode = exitCode;
    SetEvent(ready_);
  }

  HANDLE ready() const { return ready_; }
  DWORD exitCode() const { return record_->exitCode; }
  std::string notes() const {
    return std::string(record_->notes, strnlen(record_->notes, sizeof record_->notes));
  }

 private:
  struct Record {
    DWORD exitCode;
    char notes[8192];
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

// The channel of this process when it runs as a child.
ReportChannel* childChannel = nullptr;

LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

const char* optionValue(int argc, char** argv, const char* option) {
  const std::size_t length = std::strlen(option);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], option, length) == 0) return argv[i] + length;
  }
  return nullptr;
}

// The child has handed over its result: it must now end by itself.
void awaitExit(const char* scenario, const PROCESS_INFORMATION& process, const ReportChannel& report,
               const ChildOptions& options, ChildResult& result) {
  if (WaitForSingleObject(process.hProcess, options.exitGraceMs) == WAIT_OBJECT_0) return;
  if (!TerminateProcess(process.hProcess, report.exitCode())) return;  // it has just ended by itself
  WaitForSingleObject(process.hProcess, INFINITE);
  result.hungAfterReport = true;
  ADD_FAILURE() << "child scenario " << scenario << " handed over exit code " << report.exitCode()
                << " but was still running " << options.exitGraceMs << " ms later: it hangs in its exit";
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
    ADD_FAILURE() << "cannot make the result record for child scenario " << scenario << " (error "
                  << GetLastError() << ")";
    return result;
  }
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string commandLine =
      std::string("\"") + program + "\" " + kChildOption + scenario + " " + kReportOption + reportName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, options.creationFlags, nullptr,
                      nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start child scenario " << scenario << " (error " << GetLastError() << ")";
    return result;
  }
  const HANDLE ends[] = {process.hProcess, report.ready()};
  const DWORD first = WaitForMultipleObjects(2, ends, FALSE, options.timeoutMs);
  if (first == WAIT_OBJECT_0 + 1) awaitExit(scenario, process, report, options, result);
  if (first == WAIT_OBJECT_0 || first == WAIT_OBJECT_0 + 1) {
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    result.finished = true;
  } else {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  result.notes = report.notes();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

void childNote(const std::string& line) {
  if (childChannel) {
    childChannel->note(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

bool runChildScenarioIfAsked(int argc, char** argv, int* exitCode) {
  const char* name = optionValue(argc, argv, kChildOption);
  if (!name) return false;
  // A crash must end the child with its exception code, not start a
  // debugger that nobody will attend to.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(endOnCrash);
  static ReportChannel report;
  const char* reportName = optionValue(argc, argv, kReportOption);
  if (reportName && report.open(reportName)) {
    childChannel = &report;
  } else {
    std::fprintf(stderr, "cannot hand over the result (error %lu)\n", GetLastError());
  }
  auto found = scenarios().find(name);
  if (found == scenarios().end()) {
    std::fprintf(stderr, "no child scenario %s\n", name);
    *exitCode = 120;
  } else {
    *exitCode = found->second();
  }
  if (childChannel) childChannel->hand(static_cast<DWORD>(*exitCode));
  return true;
}

}  // namespace support
