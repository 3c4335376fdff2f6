// getMACAddress against Wine's RPC run-time, and through stand-in
// generators for the older-system path and the failures Wine will not give
// on demand.

#include <windows.h>
#include <objbase.h>
#include <rpc.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/library_load_watch.h"
#include "support/vantrel_dll.h"

namespace {

using ::testing::ElementsAre;

// The node field (the last six bytes) as the test reads it: upper-case hex
// pairs joined by colons.
std::string nodeOf(const GUID& identifier) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 2; i < 8; ++i) {
    if (!text.empty()) text += ':';
    text += digits[identifier.Data4[i] >> 4];
    text += digits[identifier.Data4[i] & 0xF];
  }
  return text;
}

bool isUpperHexPairs(const std::string& text) {
  if (text.size() != 17) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool ok = i % 3 == 2 ? c == ':' : (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    if (!ok) return false;
  }
  return true;
}

class MacAddress : public support::JniTest {
 protected:
  std::optional<std::string> address() { return jni_.text(VANTREL(getMACAddress)(jni_.env(), nullptr)); }
};

TEST_F(MacAddress, IsTheNodeOfTheSequentialIdentifiersThePlatformMakes) {
  UUID own = {};
  ASSERT_GE(UuidCreateSequential(&own), 0);
  const std::optional<std::string> first = address();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, nodeOf(own));
  EXPECT_TRUE(isUpperHexPairs(*first)) << *first;
  EXPECT_EQ(address(), first);
  EXPECT_EQ(address(), first);
  EXPECT_THAT(jni_.calls(),
              ElementsAre("NewStringUTF " + *first, "NewStringUTF " + *first, "NewStringUTF " + *first));
}

TEST_F(MacAddress, RpcRuntimeIsLoadedByNameAndFreedBeforeTheTextIsMade) {
  support::LibraryLoadWatch watch(&jni_);
  ASSERT_TRUE(watch.installed());
  ASSERT_TRUE(address().has_value());
  EXPECT_THAT(watch.eventTexts(), ElementsAre("LoadLibraryA rpcrt4", "GetProcAddress UuidCreateSequential",
                                              "FreeLibrary rpcrt4"));
  EXPECT_EQ(watch.events().back().jniCalls, 0u);
  EXPECT_EQ(watch.unbalancedLoads(), 0);
}

// Stand-in generators: they write the scripted identifier and answer the
// scripted status.
struct Script {
  GUID identifier = {};
  long status = 0;
  int calls = 0;
} script;

GUID identifierWithNode(unsigned char a, unsigned char b, unsigned char c, unsigned char d, unsigned char e,
                        unsigned char f) {
  // Every other byte differs from the node, so that a wrong slice shows.
  GUID identifier = {0x11111111, 0x2222, 0x3333, {0x44, 0x55, a, b, c, d, e, f}};
  return identifier;
}

RPC_STATUS RPC_ENTRY scriptedSequential(UUID* identifier) {
  ++script.calls;
  *identifier = script.identifier;
  return script.status;
}

HRESULT WINAPI scriptedCoCreateGuid(GUID* identifier) {
  ++script.calls;
  *identifier = script.identifier;
  return script.status;
}

DWORD scriptedVersion = 0;
DWORD WINAPI scriptedGetVersion() { return scriptedVersion; }

class ScriptedMacAddress : public MacAddress {
 protected:
  void SetUp() override {
    script = Script();
    script.identifier = identifierWithNode(0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F);
    ASSERT_TRUE(watch_.installed());
    ASSERT_TRUE(versionHook_.installed());
    ASSERT_TRUE(guidHook_.installed());
    watch_.replaceEntry("UuidCreateSequential", &scriptedSequential);
    scriptedVersion = GetVersion();
  }
  void TearDown() override {
    EXPECT_EQ(watch_.unbalancedLoads(), 0);
    MacAddress::TearDown();
  }

  support::LibraryLoadWatch watch_{&jni_};
  support::ImportHook versionHook_{support::vantrelModule(), "KERNEL32.dll", "GetVersion",
                                   &scriptedGetVersion};
  support::ImportHook guidHook_{support::vantrelModule(), "ole32.dll", "CoCreateGuid", &scriptedCoCreateGuid};
};

TEST_F(ScriptedMacAddress, NodeBytesShowInOrderWithLeadingZeros) {
  EXPECT_EQ(address(), "0A:1B:2C:3D:4E:5F");
  script.identifier = identifierWithNode(0x00, 0x01, 0xA0, 0xFF, 0xC3, 0x09);
  EXPECT_EQ(address(), "00:01:A0:FF:C3:09");
  EXPECT_EQ(script.calls, 2);
}

TEST_F(ScriptedMacAddress, MajorVersionFourTakesTheGuidGenerator) {
  for (DWORD version : {0x00000004u, 0x05650004u, 0x80000004u, 0x00000A03u}) {
    SCOPED_TRACE(version);
    scriptedVersion = version;
    script.calls = 0;
    EXPECT_EQ(address(), "0A:1B:2C:3D:4E:5F");
    EXPECT_EQ(script.calls, 1);
  }
  EXPECT_THAT(watch_.eventTexts(), ElementsAre());  // the RPC run-time is not touched
}

TEST_F(ScriptedMacAddress, MajorVersionFiveTakesTheSequentialGenerator) {
  scriptedVersion = 0x0A280105;  // 5.1, build 2600
  EXPECT_EQ(address(), "0A:1B:2C:3D:4E:5F");
  scriptedVersion = 0x00000005;
  EXPECT_EQ(address(), "0A:1B:2C:3D:4E:5F");
  EXPECT_EQ(script.calls, 2);
  EXPECT_THAT(watch_.eventTexts(), ElementsAre("LoadLibraryA rpcrt4", "GetProcAddress UuidCreateSequential",
                                               "FreeLibrary rpcrt4", "LoadLibraryA rpcrt4",
                                               "GetProcAddress UuidCreateSequential", "FreeLibrary rpcrt4"));
}

TEST_F(ScriptedMacAddress, NegativeStatusGivesNull) {
  script.status = RPC_S_UUID_NO_ADDRESS;  // positive: still an identifier
  EXPECT_EQ(address(), "0A:1B:2C:3D:4E:5F");
  script.status = static_cast<long>(0x80004005);
  EXPECT_EQ(address(), std::nullopt);
  script.status = -1;
  EXPECT_EQ(address(), std::nullopt);

  scriptedVersion = 4;
  script.status = E_OUTOFMEMORY;
  EXPECT_EQ(address(), std::nullopt);
  EXPECT_EQ(script.calls, 4);
  EXPECT_THAT(jni_.calls(), ElementsAre("NewStringUTF 0A:1B:2C:3D:4E:5F"));
}

TEST_F(ScriptedMacAddress, LocalOnlyIdentifierStillGivesItsNode) {
  script.status = RPC_S_UUID_LOCAL_ONLY;
  ASSERT_EQ(RPC_S_UUID_LOCAL_ONLY, 1824);
  script.identifier = identifierWithNode(0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01);
  EXPECT_EQ(address(), "DE:AD:BE:EF:00:01");
}

TEST_F(ScriptedMacAddress, MissingGeneratorGivesNullAndStillFreesTheRuntime) {
  watch_.removeEntry("UuidCreateSequential");
  EXPECT_EQ(address(), std::nullopt);
  EXPECT_EQ(script.calls, 0);
  EXPECT_THAT(watch_.eventTexts(), ElementsAre("LoadLibraryA rpcrt4", "GetProcAddress UuidCreateSequential",
                                               "FreeLibrary rpcrt4"));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

TEST_F(ScriptedMacAddress, RuntimeThatCannotBeLoadedGivesNull) {
  watch_.failLoadOf("rpcrt4");
  EXPECT_EQ(address(), std::nullopt);
  EXPECT_EQ(script.calls, 0);
  EXPECT_THAT(watch_.eventTexts(), ElementsAre("LoadLibraryA rpcrt4 failed"));
  EXPECT_THAT(jni_.calls(), ElementsAre());
}

}  // namespace
