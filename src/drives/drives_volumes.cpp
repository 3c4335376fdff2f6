#include <windows.h>

#include "binding/borrowed_string.h"
#include "binding/buffer_sizes.h"
#include "binding/platform_values.h"
#include "binding/string_array.h"
#include "drives/drive_list.h"
#include "drives/volume_numbers.h"
#include "quendril_utils_Vantrel.h"

using vantrel::BorrowedString;

// public static native String[] getLogicalDrives();
JNIEXPORT jobjectArray JNICALL Java_quendril_utils_Vantrel_getLogicalDrives(JNIEnv* env, jclass) {
  char list[vantrel::kDriveListBufferSize] = {};
  const DWORD length = GetLogicalDriveStringsA(sizeof list, list);
  // The elements are counted before the array is made: its size is fixed
  // when it is made, and every slot must then be filled.
  const vantrel::DriveList drives(list, sizeof list, length);
  if (drives.count() == 0) return nullptr;
  jobjectArray array = vantrel::newStringArray(env, static_cast<jsize>(drives.count()));
  if (array == nullptr) return nullptr;
  jsize index = 0;
  for (const char* entry = drives.first(); entry != nullptr; entry = drives.next(entry)) {
    if (!vantrel::setStringElement(env, array, index++, entry)) return nullptr;
  }
  return array;
}

// public static native long getFreeDiskSpace(String root);
JNIEXPORT jlong JNICALL Java_quendril_utils_Vantrel_getFreeDiskSpace(JNIEnv* env, jclass, jstring root) {
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  BorrowedString borrowed(env, root);
  if (!borrowed.ok()) return 0;
  const BOOL read =
      GetDiskFreeSpaceA(borrowed.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters);
  borrowed.release();
  // The counts of a failed call are not trusted, whatever was written.
  if (!read) return 0;
  return vantrel::freeSpaceBytes(freeClusters, sectorsPerCluster, bytesPerSector);
}

// public static native int getDriveType(String root);
JNIEXPORT jint JNICALL Java_quendril_utils_Vantrel_getDriveType(JNIEnv* env, jclass, jstring root) {
  BorrowedString borrowed(env, root);
  if (!borrowed.ok()) return DRIVE_UNKNOWN;
  const UINT type = GetDriveTypeA(borrowed.c_str());
  borrowed.release();
  return static_cast<jint>(type);
}

// public static native String getVolumeLabel(String root);
JNIEXPORT jstring JNICALL Java_quendril_utils_Vantrel_getVolumeLabel(JNIEnv* env, jclass, jstring root) {
  // Zero-filled, so a volume without a label, or one that cannot be read,
  // comes back as the empty string.
  char label[vantrel::kLabelBufferSize] = {};
  DWORD maximumComponentLength = 0;
  DWORD fileSystemFlags = 0;
  BorrowedString borrowed(env, root);
  if (borrowed.ok()) {
    GetVolumeInformationA(borrowed.c_str(), label, sizeof label, nullptr, &maximumComponentLength,
                          &fileSystemFlags, nullptr, 0);
    borrowed.release();
  }
  // The platform was told the size; the last byte stays a NUL even if it
  // filled every byte, so the text never runs past the buffer.
  label[sizeof label - 1] = '\0';
  return env->NewStringUTF(label);
}

// public static native boolean setVolumeLabel(String root, String label);
JNIEXPORT jboolean JNICALL Java_quendril_utils_Vantrel_setVolumeLabel(JNIEnv* env, jclass, jstring root,
                                                                      jstring label) {
  BorrowedString borrowedRoot(env, root);
  if (!borrowedRoot.ok()) return JNI_FALSE;
  // A missing label must not reach the platform, where NULL would remove
  // the volume's label; the root goes back when this scope ends.
  BorrowedString borrowedLabel(env, label);
  if (!borrowedLabel.ok()) return JNI_FALSE;
  const BOOL changed = SetVolumeLabelA(borrowedRoot.c_str(), borrowedLabel.c_str());
  borrowedRoot.release();
  borrowedLabel.release();
  return vantrel::toJavaBoolean(changed);
}

// public static native String getVolumeSerialNumber(String root);
JNIEXPORT jstring JNICALL Java_quendril_utils_Vantrel_getVolumeSerialNumber(JNIEnv* env, jclass,
                                                                            jstring root) {
  // Stays 0 when the volume cannot be read, which shows as 0000-0000.
  DWORD serial = 0;
  DWORD maximumComponentLength = 0;
  DWORD fileSystemFlags = 0;
  BorrowedString borrowed(env, root);
  if (borrowed.ok()) {
    GetVolumeInformationA(borrowed.c_str(), nullptr, 0, &serial, &maximumComponentLength, &fileSystemFlags,
                          nullptr, 0);
    borrowed.release();
  }
  char text[vantrel::kTextBufferSize];
  vantrel::formatSerialNumber(serial, text, sizeof text);
  return env->NewStringUTF(text);
}
