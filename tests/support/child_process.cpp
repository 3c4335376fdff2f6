#include "support/child_process.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace support {
namespace {

const char kChildOption[] = "--vantrel-child=";

std::map<std::string, ChildScenario>& scenarios() {
  static std::map<std::string, ChildScenario> registry;
  return registry;
}

void collectDebugOutput(const PROCESS_INFORMATION& process, ChildResult& result, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, 250)) {
      if (GetTickCount() - start > timeoutMs) {
        TerminateProcess(process.hProcess, 0xDEAD);
      }
      continue;
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT: {
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
        return;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
}

LONG WINAPI endOnCrash(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

ChildRegistration::ChildRegistration(const char* name, ChildScenario scenario) {
  scenarios()[name] = scenario;
}

ChildResult runChild(const char* scenario, const ChildOptions& options) {
  ChildResult result;
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string commandLine = std::string("\"") + program + "\" " + kChildOption + scenario;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  DWORD flags = options.creationFlags | (options.debug ? DEBUG_ONLY_THIS_PROCESS : 0);
  if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "cannot start child scenario %s (error %lu)\n", scenario, GetLastError());
    return result;
  }
  if (options.debug) {
    collectDebugOutput(process, result, options.timeoutMs);
    WaitForSingleObject(process.hProcess, options.timeoutMs);
  } else if (WaitForSingleObject(process.hProcess, options.timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
  }
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  result.finished = result.exitCode != 0xDEAD;
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
      return true;
    }
  }
  return false;
}

}  // namespace support
