# Shared settings of every target, and the third-party libraries.

add_library(halvery_options INTERFACE)
target_include_directories(halvery_options INTERFACE ${PROJECT_SOURCE_DIR})
if(HALVERY_NATIVE)
  target_compile_options(halvery_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
  return()
endif()

target_compile_definitions(halvery_options INTERFACE
  UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800 NOMINMAX STRICT)
target_compile_options(halvery_options INTERFACE
  -Wall -Wno-unused-parameter -Wno-missing-field-initializers -Wno-cast-function-type)
# Every program must run with nothing but the DLLs every Windows has.
target_link_options(halvery_options INTERFACE -static -static-libgcc -static-libstdc++)

# SQLite and minizip, built for this architecture by tools/setup.sh outside the source tree.
if(NOT HALVERY_DEPS)
  if(DEFINED ENV{HALVERY_DEPS})
    set(HALVERY_DEPS $ENV{HALVERY_DEPS})
  else()
    set(HALVERY_DEPS $ENV{HOME}/.cache/halvery-deps)
  endif()
endif()
set(HALVERY_DEPS_ARCH ${HALVERY_DEPS}/${HALVERY_TRIPLET})
if(NOT EXISTS ${HALVERY_DEPS_ARCH}/lib/libsqlite3.a)
  message(FATAL_ERROR "Third-party libraries missing in ${HALVERY_DEPS_ARCH}: run tools/setup.sh first")
endif()

add_library(sqlite3 STATIC IMPORTED GLOBAL)
set_target_properties(sqlite3 PROPERTIES
  IMPORTED_LOCATION ${HALVERY_DEPS_ARCH}/lib/libsqlite3.a
  INTERFACE_INCLUDE_DIRECTORIES ${HALVERY_DEPS_ARCH}/include)

add_library(minizip STATIC IMPORTED GLOBAL)
set_target_properties(minizip PROPERTIES
  IMPORTED_LOCATION ${HALVERY_DEPS_ARCH}/lib/libminizip.a
  INTERFACE_INCLUDE_DIRECTORIES ${HALVERY_DEPS_ARCH}/include/minizip
  INTERFACE_LINK_LIBRARIES z)

# Header-only doctest from Debian's doctest-dev, copied so the cross compiler never sees /usr/include.
set(HALVERY_DOCTEST_INCLUDE ${PROJECT_BINARY_DIR}/third_party_include)
configure_file(/usr/include/doctest/doctest.h ${HALVERY_DOCTEST_INCLUDE}/doctest/doctest.h COPYONLY)

# The folder a user could copy to a Windows machine: the program, the bridge DLL and their files.
set(HALVERY_STAGE_DIR ${PROJECT_BINARY_DIR}/Halvery)
