// What Vantrel.dll shows the JVM and the loader: its exports, imports,
// header flags and resources; and that its stack protector still ends the
// process.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/vantrel_dll.h"

namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// The test program is built for the DLL's own architecture, so what the
// headers and the manifest must name follows from its own width.
#ifdef _WIN64
constexpr WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr WORD kOptionalHeaderMagic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
constexpr WORD kAddressSpaceFlags = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
                                    IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA;
constexpr char kManifestArchitecture[] = "amd64";
#else
constexpr WORD kMachine = IMAGE_FILE_MACHINE_I386;
constexpr WORD kOptionalHeaderMagic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
constexpr WORD kAddressSpaceFlags = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
constexpr char kManifestArchitecture[] = "x86";
#endif

const BYTE* imageBase() { return reinterpret_cast<const BYTE*>(support::vantrelModule()); }

const IMAGE_NT_HEADERS* ntHeaders() {
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(imageBase());
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(imageBase() + dos->e_lfanew);
}

std::vector<std::string> exportNames(std::string* moduleName) {
  const auto& directory = ntHeaders()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(imageBase() + directory.VirtualAddress);
  *moduleName = reinterpret_cast<const char*>(imageBase() + exports->Name);
  auto* names = reinterpret_cast<const DWORD*>(imageBase() + exports->AddressOfNames);
  std::vector<std::string> result;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    result.emplace_back(reinterpret_cast<const char*>(imageBase() + names[i]));
  }
  EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames) << "exports without a name";
  return result;
}

std::vector<std::string> importedDlls() {
  const auto& directory = ntHeaders()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::vector<std::string> result;
  for (auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(imageBase() + directory.VirtualAddress);
       import->Name != 0; ++import) {
    std::string name = reinterpret_cast<const char*>(imageBase() + import->Name);
    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    result.push_back(name);
  }
  return result;
}

TEST(Boundary, ExportsExactlyTheNativeMethodsByUndecoratedName) {
  std::string module;
  std::vector<std::string> names = exportNames(&module);
  EXPECT_EQ(module, "Vantrel.dll");
  std::vector<std::string> expected;
  for (const char* method : {"getConsoleChar",
                             "getLogicalDrives",
                             "getFreeDiskSpace",
                             "getDriveType",
                             "getVolumeLabel",
                             "setVolumeLabel",
                             "getVolumeSerialNumber",
                             "getCurrentDirectory",
                             "setCurrentDirectory",
                             "getHwnd",
                             "getActiveWindow",
                             "getForegroundWindow",
                             "setWindowMinimized",
                             "setWindowMaximized",
                             "setWindowRestored",
                             "setWindowAlwaysOnTop",
                             "setWindowRestoreEnabled",
                             "setWindowMoveEnabled",
                             "setWindowSizeEnabled",
                             "setWindowMinimizeEnabled",
                             "setWindowMaximizeEnabled",
                             "getOpenSaveFileName",
                             "SHBrowseForFolder",
                             "getSHFolderPath",
                             "getMACAddress"}) {
    expected.push_back(std::string("Java_quendril_utils_Vantrel_") + method);
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(expected.size(), 25u);
  EXPECT_THAT(names, ElementsAreArray(expected));  // the export table is sorted by name
}

TEST(Boundary, ImportsOnlyWindowsSystemLibraries) {
  // No ADVAPI32: the stack protector's guard is seeded without it.
  const std::set<std::string> system = {"KERNEL32.DLL", "USER32.DLL", "COMDLG32.DLL",
                                        "SHELL32.DLL",  "OLE32.DLL",  "MSVCRT.DLL"};
  std::vector<std::string> dlls = importedDlls();
  EXPECT_FALSE(dlls.empty());
  for (const std::string& dll : dlls) {
    EXPECT_TRUE(system.count(dll)) << "imports " << dll;
  }
  // Loaded by name for one call only, never bound at load time.
  EXPECT_EQ(std::count(dlls.begin(), dlls.end(), "RPCRT4.DLL"), 0);
  EXPECT_EQ(std::count(dlls.begin(), dlls.end(), "SHFOLDER.DLL"), 0);
}

TEST(Boundary, IsADllOfItsArchitectureWithAslrAndNx) {
  const IMAGE_NT_HEADERS* nt = ntHeaders();
  EXPECT_EQ(nt->FileHeader.Machine, kMachine);
  EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
  EXPECT_EQ(nt->OptionalHeader.Magic, kOptionalHeaderMagic);
  EXPECT_EQ(nt->OptionalHeader.DllCharacteristics & kAddressSpaceFlags, kAddressSpaceFlags);
  // No link time in the header: two builds of the same sources are the same bytes.
  EXPECT_EQ(nt->FileHeader.TimeDateStamp, 0u);
}

TEST(Boundary, EntryPointAnswersTrueForEveryNotification) {
  using Entry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
  auto entry = reinterpret_cast<Entry>(const_cast<BYTE*>(imageBase()) +
                                       ntHeaders()->OptionalHeader.AddressOfEntryPoint);
  auto module = reinterpret_cast<HINSTANCE>(support::vantrelModule());
  EXPECT_TRUE(entry(module, DLL_THREAD_ATTACH, nullptr));
  EXPECT_TRUE(entry(module, DLL_THREAD_DETACH, nullptr));
  // A second library instance loads and unloads cleanly (process attach and detach).
  HMODULE copy = LoadLibraryA(support::vantrelPath().c_str());
  ASSERT_EQ(copy, support::vantrelModule());
  EXPECT_TRUE(FreeLibrary(copy));
}

// Runs on past the end of the library's buffer over the two words above
// it, where a protected frame keeps its copy of the guard.
DWORD WINAPI overrunningCurrentDirectory(DWORD size, LPSTR buffer) {
  lstrcpynA(buffer, "C:\\", static_cast<int>(size));
  auto* past = reinterpret_cast<volatile BYTE*>(buffer + size);
  for (std::size_t i = 0; i < 2 * sizeof(void*); ++i) past[i] = static_cast<BYTE>(past[i] ^ 0xFF);
  return 3;
}

CHILD_SCENARIO(overrunsTheDirectoryBuffer) {
  support::ImportHook overrun(support::vantrelModule(), "KERNEL32.dll", "GetCurrentDirectoryA",
                              &overrunningCurrentDirectory);
  if (!overrun.installed()) return 2;
  fakejni::Env jni;
  VANTREL(getCurrentDirectory)(jni.env(), nullptr);
  return 0;  // returned through a smashed frame
}

TEST(Boundary, ASmashedStackGuardEndsTheProcess) {
  const support::ChildResult child = support::runChild("overrunsTheDirectoryBuffer");
  EXPECT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, DWORD{STATUS_STACK_BUFFER_OVERRUN});
}

std::string resourceBytes(LPCSTR type, WORD id) {
  HMODULE module = support::vantrelModule();
  HRSRC found =
      FindResourceExA(module, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (found == nullptr) return {};
  auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  return std::string(data, SizeofResource(module, found));
}

std::string versionString(const std::vector<char>& info, const char* key) {
  char* value = nullptr;
  UINT length = 0;
  std::string path = std::string("\\StringFileInfo\\040904b0\\") + key;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return "<missing>";
  }
  return length == 0 ? std::string() : std::string(value);
}

TEST(Boundary, VersionRecordCarriesEveryField) {
  ASSERT_FALSE(resourceBytes(RT_VERSION, 1).empty()) << "no version record 1 in language 0x0409";
  const std::string path = support::vantrelPath();
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // The version comes from the build (CMake's project version).
  constexpr DWORD kVersionMS = VANTREL_VERSION_MAJOR << 16 | VANTREL_VERSION_MINOR;
  constexpr DWORD kVersionLS = VANTREL_VERSION_PATCH << 16 | VANTREL_VERSION_TWEAK;
  const std::string versionText = std::to_string(VANTREL_VERSION_MAJOR) + ", " + std::to_string(VANTREL_VERSION_MINOR) +
                                  ", " + std::to_string(VANTREL_VERSION_PATCH) + ", " +
                                  std::to_string(VANTREL_VERSION_TWEAK);
  EXPECT_EQ(fixed->dwFileVersionMS, kVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, kVersionLS);
  EXPECT_EQ(fixed->dwProductVersionMS, kVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, kVersionLS);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0x1u);
  EXPECT_EQ(fixed->dwFileOS, 0x40004u);
  EXPECT_EQ(fixed->dwFileType, 2u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);

  EXPECT_EQ(versionString(info, "Comments"), "Windows utility methods");
  EXPECT_EQ(versionString(info, "FileDescription"), "DLL containing native methods for class Vantrel");
  EXPECT_EQ(versionString(info, "FileVersion"), versionText);
  EXPECT_EQ(versionString(info, "InternalName"), "Vantrel");
  EXPECT_EQ(versionString(info, "LegalTrademarks"), "");
  EXPECT_EQ(versionString(info, "OriginalFilename"), "Vantrel.dll");
  EXPECT_EQ(versionString(info, "PrivateBuild"), "");
  EXPECT_EQ(versionString(info, "ProductVersion"), versionText);
  EXPECT_EQ(versionString(info, "SpecialBuild"), "");

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);
}

TEST(Boundary, VersionStringsStandInTheirOrder) {
  const std::string raw = resourceBytes(RT_VERSION, 1);
  auto offsetOf = [&](const char* key) {
    std::string wide;
    for (const char* c = key; *c; ++c) wide += std::string{*c, '\0'};
    return raw.find(wide);
  };
  std::size_t previous = 0;
  for (const char* key : {"Comments", "FileDescription", "FileVersion", "InternalName", "LegalTrademarks",
                          "OriginalFilename", "PrivateBuild", "ProductVersion", "SpecialBuild"}) {
    std::size_t offset = offsetOf(key);
    ASSERT_NE(offset, std::string::npos) << key;
    EXPECT_GT(offset, previous) << key << " is out of order";
    previous = offset;
  }
}

TEST(Boundary, ManifestNamesTheAssemblyAndCommonControlsSix) {
  const std::string manifest = resourceBytes(MAKEINTRESOURCEA(24), 2);
  ASSERT_FALSE(manifest.empty()) << "no manifest 2 in language 0x0409";
  EXPECT_THAT(manifest, HasSubstr("manifestVersion=\"1.0\""));
  const std::string architecture = std::string("processorArchitecture=\"") + kManifestArchitecture + "\"";
  EXPECT_THAT(manifest, HasSubstr("<assemblyIdentity name=\"FileDialog\" version=\"1.0.0.0\" " + architecture +
                                  " type=\"win32\"/>"));
  EXPECT_THAT(manifest, HasSubstr("<description>Registry Monitor</description>"));
  EXPECT_THAT(manifest, HasSubstr("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
  EXPECT_THAT(manifest, HasSubstr("version=\"6.0.0.0\" " + architecture + " publicKeyToken=\"6595b64144ccf1df\""));
  EXPECT_THAT(manifest, HasSubstr("language=\"*\""));
  EXPECT_EQ(manifest.find("encoding=\"UTF-8\""), manifest.find("encoding"));
}

}  // namespace
