# What the ARM64 DLL links instead of a C runtime and mingw's import
# libraries: its own start-up (dll_startup.c) and import libraries that
# llvm-dlltool makes from the .def files in imports/, which name only the
# functions the library calls.
add_library(vantrel_arm64_runtime OBJECT ${CMAKE_CURRENT_LIST_DIR}/dll_startup.c)
target_compile_definitions(vantrel_arm64_runtime PRIVATE WIN32_LEAN_AND_MEAN)
# Never stack-protected: the guard's value changes while the entry point runs.
target_compile_options(vantrel_arm64_runtime PRIVATE
  -Os -fno-stack-protector -Wall -Wextra -Werror -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
set(VANTREL_RUNTIME_OBJECTS $<TARGET_OBJECTS:vantrel_arm64_runtime>)

# vantrel_import_libraries(VARIABLE FOLDER def...): makes FOLDER/lib<name>.a
# in the build tree for each .def file and sets VARIABLE to their paths.
function(vantrel_import_libraries variable folder)
  set(libraries)
  foreach(def IN LISTS ARGN)
    get_filename_component(name ${def} NAME_WE)
    set(library ${CMAKE_BINARY_DIR}/${folder}/lib${name}.a)
    add_custom_command(OUTPUT ${library}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/${folder}
      COMMAND ${VANTREL_DLLTOOL} -m arm64 -d ${def} -l ${library}
      DEPENDS ${def})
    list(APPEND libraries ${library})
  endforeach()
  set(${variable} ${libraries} PARENT_SCOPE)
endfunction()

file(GLOB import_definitions CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/imports/*.def)
vantrel_import_libraries(VANTREL_SYSTEM_LIBRARIES imports ${import_definitions})
add_custom_target(vantrel_import_libraries DEPENDS ${VANTREL_SYSTEM_LIBRARIES})
