// Greying and enabling the first five system-menu entries of real windows,
// read back by position with the platform's menu queries.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/import_hook.h"
#include "support/jni_test.h"
#include "support/vantrel_dll.h"
#include "support/window_thread.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using MenuSetter = decltype(&Java_quendril_utils_Vantrel_setWindowRestoreEnabled);
// The same export with the Boolean in a whole 32-bit slot.
using WideBooleanSetter = jint(JNICALL*)(JNIEnv*, jclass, jint, jint);

struct Entry {
  const char* method;
  int position;
  const char* label;
};
const Entry kEntries[] = {
    {"setWindowRestoreEnabled", 0, "&Restore"},   {"setWindowMoveEnabled", 1, "&Move"},
    {"setWindowSizeEnabled", 2, "&Size"},         {"setWindowMinimizeEnabled", 3, "Mi&nimize"},
    {"setWindowMaximizeEnabled", 4, "Ma&ximize"},
};

void* exportOf(const char* method) {
  return support::vantrelExportAddress((std::string("Java_quendril_utils_Vantrel_") + method).c_str());
}
MenuSetter setterOf(const char* method) { return reinterpret_cast<MenuSetter>(exportOf(method)); }

jint handleOf(HWND window) { return static_cast<jint>(reinterpret_cast<INT_PTR>(window)); }

// One entry as the platform reports it by position.
struct Item {
  UINT identifier;
  bool greyed;
  bool isText;
  std::string label;
  bool operator==(const Item& other) const {
    return identifier == other.identifier && greyed == other.greyed && isText == other.isText &&
           label == other.label;
  }
};

void PrintTo(const Item& item, std::ostream* out) {
  *out << "{id 0x" << std::hex << item.identifier << std::dec << (item.greyed ? ", greyed" : "")
       << (item.isText ? "" : ", not text") << ", \"" << item.label << "\"}";
}

Item itemAt(HMENU menu, int position) {
  const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
  char label[64] = {};
  GetMenuStringA(menu, position, label, sizeof label, MF_BYPOSITION);
  return {GetMenuItemID(menu, position), (state & MF_GRAYED) != 0, (state & (MF_SEPARATOR | MF_BITMAP)) == 0,
          label};
}

std::vector<Item> itemsOf(HMENU menu) {
  std::vector<Item> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) items.push_back(itemAt(menu, i));
  return items;
}

class SystemMenu : public support::JniTest {
 protected:
  void TearDown() override {
    EXPECT_THAT(jni_.calls(), ElementsAre());  // nothing here touches JNI
    JniTest::TearDown();
  }

  HWND makeWindow(const char* title) {
    HWND window = windows_.create(title);
    EXPECT_NE(window, nullptr);
    return window;
  }

  support::WindowThread windows_;
};

TEST_F(SystemMenu, EachEntryIsGreyedAndEnabledAgainWithIdentifierZero) {
  HWND window = makeWindow("Vantrel grey and enable");
  HMENU menu = GetSystemMenu(window, FALSE);
  ASSERT_NE(menu, nullptr);
  std::vector<Item> expected = itemsOf(menu);
  ASSERT_GE(expected.size(), 5u);

  for (const Entry& entry : kEntries) {
    SCOPED_TRACE(entry.method);
    MenuSetter set = setterOf(entry.method);
    EXPECT_NE(set(jni_.env(), nullptr, handleOf(window), JNI_FALSE), 0);
    expected[entry.position] = {0, true, true, entry.label};
    EXPECT_THAT(itemsOf(menu), ElementsAreArray(expected));  // only this entry changed

    EXPECT_NE(set(jni_.env(), nullptr, handleOf(window), JNI_TRUE), 0);
    // Enabled again, but the command stays 0: it is not the standard one.
    expected[entry.position] = {0, false, true, entry.label};
    EXPECT_THAT(itemsOf(menu), ElementsAreArray(expected));
  }
  EXPECT_EQ(GetSystemMenu(window, FALSE), menu);  // the window's own copy was changed
}

TEST_F(SystemMenu, RepeatedCallsFindTheEntryByPosition) {
  HWND window = makeWindow("Vantrel repeated");
  HMENU menu = GetSystemMenu(window, FALSE);
  MenuSetter setMove = setterOf("setWindowMoveEnabled");
  for (jboolean enabled : {JNI_FALSE, JNI_FALSE, JNI_TRUE, JNI_TRUE, JNI_FALSE, JNI_TRUE}) {
    EXPECT_NE(setMove(jni_.env(), nullptr, handleOf(window), enabled), 0);
    EXPECT_EQ(itemAt(menu, 1), (Item{0, enabled == JNI_FALSE, true, "&Move"}));
  }
  EXPECT_EQ(GetMenuItemID(menu, 0), static_cast<UINT>(SC_RESTORE));
  EXPECT_EQ(GetMenuItemID(menu, 2), static_cast<UINT>(SC_SIZE));
}

TEST_F(SystemMenu, OnlyTheLowByteOfTheBooleanDecides) {
  HWND window = makeWindow("Vantrel wide Boolean");
  HMENU menu = GetSystemMenu(window, FALSE);
  for (const Entry& entry : kEntries) {
    SCOPED_TRACE(entry.method);
    auto set = reinterpret_cast<WideBooleanSetter>(exportOf(entry.method));
    EXPECT_NE(set(jni_.env(), nullptr, handleOf(window), 0x100), 0);
    EXPECT_TRUE(itemAt(menu, entry.position).greyed);
    EXPECT_NE(set(jni_.env(), nullptr, handleOf(window), 0x201), 0);
    EXPECT_FALSE(itemAt(menu, entry.position).greyed);
    EXPECT_NE(set(jni_.env(), nullptr, handleOf(window), static_cast<jint>(0xFFFFFF00)), 0);
    EXPECT_TRUE(itemAt(menu, entry.position).greyed);
    EXPECT_NE(set(jni_.env(), nullptr, handleOf(window), 0x80), 0);
    EXPECT_FALSE(itemAt(menu, entry.position).greyed);
  }
}

TEST_F(SystemMenu, ShorterMenuLosesNothingWhereThePositionIsMissing) {
  HWND window = makeWindow("Vantrel short menu");
  HMENU menu = GetSystemMenu(window, FALSE);
  while (GetMenuItemCount(menu) > 4) DeleteMenu(menu, 4, MF_BYPOSITION);
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  const std::vector<Item> before = itemsOf(menu);

  for (jboolean enabled : {JNI_FALSE, JNI_TRUE}) {
    EXPECT_EQ(setterOf("setWindowMaximizeEnabled")(jni_.env(), nullptr, handleOf(window), enabled), 0);
    EXPECT_THAT(itemsOf(menu), ElementsAreArray(before));
  }
  // The positions that exist are still rewritten.
  EXPECT_NE(setterOf("setWindowMinimizeEnabled")(jni_.env(), nullptr, handleOf(window), JNI_FALSE), 0);
  EXPECT_EQ(itemAt(menu, 3), (Item{0, true, true, "Mi&nimize"}));
  EXPECT_EQ(GetMenuItemCount(menu), 4);
}

TEST_F(SystemMenu, WhateverStandsAtThePositionIsOverwritten) {
  // Without its first entry, the menu has Move at position 0 and a
  // separator at position 4.
  HWND window = makeWindow("Vantrel other order");
  HMENU menu = GetSystemMenu(window, FALSE);
  DeleteMenu(menu, 0, MF_BYPOSITION);
  ASSERT_EQ(GetMenuItemID(menu, 0), static_cast<UINT>(SC_MOVE));
  ASSERT_NE(GetMenuState(menu, 4, MF_BYPOSITION) & MF_SEPARATOR, 0u);

  EXPECT_NE(setterOf("setWindowRestoreEnabled")(jni_.env(), nullptr, handleOf(window), JNI_FALSE), 0);
  EXPECT_EQ(itemAt(menu, 0), (Item{0, true, true, "&Restore"}));
  EXPECT_EQ(GetMenuItemID(menu, 1), static_cast<UINT>(SC_SIZE));

  EXPECT_NE(setterOf("setWindowMaximizeEnabled")(jni_.env(), nullptr, handleOf(window), JNI_TRUE), 0);
  EXPECT_EQ(itemAt(menu, 4), (Item{0, false, true, "Ma&ximize"}));
}

TEST_F(SystemMenu, HandlesOfNoWindowGetZero) {
  HWND gone = makeWindow("Vantrel menu soon gone");
  windows_.destroy(gone);
  ASSERT_FALSE(IsWindow(gone));
  for (const Entry& entry : kEntries) {
    for (jint handle : {jint{0}, handleOf(gone)}) {
      EXPECT_EQ(setterOf(entry.method)(jni_.env(), nullptr, handle, JNI_FALSE), 0) << entry.method;
      EXPECT_EQ(setterOf(entry.method)(jni_.env(), nullptr, handle, JNI_TRUE), 0) << entry.method;
    }
  }
}

// What reaches the platform, seen through the library's imports.
struct MenuCall {
  std::string function;
  HWND window;
  BOOL revert;
  HMENU menu;
  UINT position;
  UINT flags;
  UINT_PTR identifier;
  std::string label;
};
std::vector<MenuCall> menuCalls;
support::ImportHook* systemMenuHook = nullptr;
BOOL scriptedModifyResult = 0;

HMENU WINAPI recordingGetSystemMenu(HWND window, BOOL revert) {
  HMENU menu = systemMenuHook->original<decltype(&GetSystemMenu)>()(window, revert);
  menuCalls.push_back({"GetSystemMenu", window, revert, menu, 0, 0, 0, ""});
  return menu;
}

BOOL WINAPI recordingModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR identifier, LPCSTR item) {
  // The label as bytes, from a pointer that must be a string.
  menuCalls.push_back(
      {"ModifyMenuA", nullptr, 0, menu, position, flags, identifier, item != nullptr ? item : "<null>"});
  return scriptedModifyResult;
}

TEST_F(SystemMenu, EachSetterFetchesTheMenuThenRewritesOneEntryByPosition) {
  HWND window = makeWindow("Vantrel intercepted");
  support::ImportHook getMenu(support::vantrelModule(), "USER32.dll", "GetSystemMenu",
                              &recordingGetSystemMenu);
  support::ImportHook modify(support::vantrelModule(), "USER32.dll", "ModifyMenuA", &recordingModifyMenu);
  ASSERT_TRUE(getMenu.installed());
  ASSERT_TRUE(modify.installed());
  systemMenuHook = &getMenu;
  const HMENU menu = GetSystemMenu(window, FALSE);

  for (const Entry& entry : kEntries) {
    for (jboolean enabled : {JNI_FALSE, JNI_TRUE}) {
      SCOPED_TRACE(std::string(entry.method) + (enabled ? " true" : " false"));
      menuCalls.clear();
      // ModifyMenuA's result comes back whole, even one whose low byte is 0.
      scriptedModifyResult = enabled ? static_cast<BOOL>(0x80000100) : 0x2A;
      EXPECT_EQ(setterOf(entry.method)(jni_.env(), nullptr, handleOf(window), enabled), scriptedModifyResult);
      ASSERT_EQ(menuCalls.size(), 2u);
      EXPECT_EQ(menuCalls[0].function, "GetSystemMenu");
      EXPECT_EQ(menuCalls[0].window, window);
      EXPECT_EQ(menuCalls[0].revert, FALSE);
      EXPECT_EQ(menuCalls[1].function, "ModifyMenuA");
      EXPECT_EQ(menuCalls[1].menu, menu);
      EXPECT_EQ(menuCalls[1].position, static_cast<UINT>(entry.position));
      EXPECT_EQ(menuCalls[1].flags, enabled ? 0x0400u : 0x0401u);
      EXPECT_EQ(menuCalls[1].identifier, 0u);
      EXPECT_EQ(menuCalls[1].label, entry.label);
    }
  }
  // Nothing reached the real menu.
  EXPECT_EQ(GetMenuItemID(menu, 0), static_cast<UINT>(SC_RESTORE));
}

}  // namespace
