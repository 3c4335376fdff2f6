#include <windows.h>
#include <objbase.h>
#include <rpc.h>

#include <cstring>

#include "binding/loaded_library.h"
#include "identity/node_text.h"
#include "quendril_utils_Vantrel.h"

static_assert(sizeof(GUID) == vantrel::kIdentifierSize, "an identifier is 16 bytes");

// public static native String getMACAddress();
JNIEXPORT jstring JNICALL Java_quendril_utils_Vantrel_getMACAddress(JNIEnv* env, jclass) {
  GUID identifier = {};
  // HRESULT and RPC_STATUS alike: only a negative value is a failure, so the
  // local-only warning of the sequential generator still gives its node.
  LONG status = 1;
  bool generated = false;

  const DWORD majorVersion = GetVersion() & 0xFF;
  if (majorVersion >= 5) {
    // Loaded by name so that the library does not bind the RPC run-time at
    // load time; freed at the end of this block, before the text is made,
    // since the identifier lives in this call's own storage.
    vantrel::LoadedLibrary rpcrt4("rpcrt4");
    if (rpcrt4.ok()) {
      auto createSequential = rpcrt4.entry<decltype(&UuidCreateSequential)>("UuidCreateSequential");
      if (createSequential != nullptr) {
        status = createSequential(&identifier);
        generated = true;
      }
    }
  } else {
    // Older systems have no sequential generator; their GUIDs are still
    // time-based and carry the adapter address.
    status = CoCreateGuid(&identifier);
    generated = true;
  }
  // Without a generator there is no identifier, only zeros: no address.
  if (!generated || status < 0) return nullptr;

  unsigned char bytes[vantrel::kIdentifierSize];
  std::memcpy(bytes, &identifier, sizeof bytes);
  char text[vantrel::kNodeTextSize];
  vantrel::formatNode(bytes, text, sizeof text);
  return env->NewStringUTF(text);
}
