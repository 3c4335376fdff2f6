#pragma once

#include <cstddef>

// Fixed buffer sizes of the library. Every size counts the terminating NUL.
namespace vantrel {

constexpr std::size_t kPathBufferSize = 260;  // MAX_PATH
constexpr std::size_t kDriveListBufferSize = 256;
constexpr std::size_t kLabelBufferSize = 256;
constexpr std::size_t kTextBufferSize = 256;
constexpr std::size_t kFilterListBufferSize = 2048;
constexpr std::size_t kHookTextBufferSize = 2048;
constexpr std::size_t kFileNameBufferSize = 32768;

}  // namespace vantrel
