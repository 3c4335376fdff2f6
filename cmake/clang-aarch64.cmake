# Cross-compiling for 64-bit ARM Windows with Debian's clang and lld. Debian
# has no aarch64 mingw-w64 compiler, C runtime or C++ library, but its
# mingw-w64 headers describe ARM64, and the library needs only header-only
# C++: the x86-64 mingw GCC's C++ headers (which hold nothing
# processor-specific the library uses) stand in for the missing ones. The
# runtime pieces a DLL needs come from src/binding/arm64_runtime, the import
# libraries from its .def files.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VANTREL_CLANG_TARGET aarch64-w64-mingw32)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${VANTREL_CLANG_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${VANTREL_CLANG_TARGET})
set(CMAKE_RC_COMPILER llvm-windres-14)
set(VANTREL_DLLTOOL llvm-dlltool-14)

set(mingw_headers /usr/share/mingw-w64/include)
set(gcc_cxx_headers /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++)
set(CMAKE_C_FLAGS_INIT "-isystem ${mingw_headers}")
set(CMAKE_CXX_FLAGS_INIT
  "-stdlib++-isystem ${gcc_cxx_headers} -stdlib++-isystem ${gcc_cxx_headers}/x86_64-w64-mingw32 -isystem ${mingw_headers}")
set(CMAKE_RC_FLAGS_INIT "--target=${VANTREL_CLANG_TARGET} -I ${mingw_headers}")
# Nothing from a C runtime: the DLL brings its own entry point, and the
# checks CMake makes on the compiler link nothing.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# CMake's default Windows libraries are mingw's; the build names its own.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
