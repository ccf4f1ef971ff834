# SQLite, built from the official amalgamation with the project's toolchain.
#
# The amalgamation comes from the npm registry: the npm package "sqlite3"
# carries SQLite's own sqlite-autoconf tarball in its deps/ folder. At
# configure time the tarball is taken from a cache outside the source tree,
# or fetched with "npm pack" into it, and checked against the checksums
# below before anything is extracted. Nothing of SQLite is kept in the
# repository.
#
# To move to another SQLite release: pick the npm package version that
# carries it, and update the five values below together (the package's
# SHA-512 is the hex form of the registry's "integrity" value for it).

set(PELLTON_SQLITE_VERSION 3.52.0)
set(PELLTON_SQLITE_AUTOCONF sqlite-autoconf-3520000)
set(PELLTON_SQLITE_SHA256 f6b50b0c103392af32a8be15b2b9d25959de9a00a70c3979128aafeaa5338b3f)
set(PELLTON_SQLITE_NPM_PACKAGE sqlite3@6.0.1)
set(PELLTON_SQLITE_NPM_SHA512
    5f4733514306dad992a89a4441aded0ae6521ca231f0fc0ce77bcb6732a9fe8e91a72db97e255f8dd6e767df3c33cf8edd9591d628742b6e7956e9826f73009d)

# Where downloaded third-party archives are kept between builds.
if(DEFINED ENV{PELLTON_CACHE} AND NOT "$ENV{PELLTON_CACHE}" STREQUAL "")
  set(_pellton_cache_default "$ENV{PELLTON_CACHE}")
elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(_pellton_cache_default "$ENV{XDG_CACHE_HOME}/pellton")
else()
  set(_pellton_cache_default "$ENV{HOME}/.cache/pellton")
endif()
set(PELLTON_CACHE "${_pellton_cache_default}" CACHE PATH
    "Folder for downloaded third-party archives (outside the source tree)")

# 1 in `out` when `file` exists and has the expected SHA-256.
function(_pellton_sqlite_tarball_ok file out)
  set(${out} 0 PARENT_SCOPE)
  if(EXISTS "${file}")
    file(SHA256 "${file}" _sum)
    if(_sum STREQUAL PELLTON_SQLITE_SHA256)
      set(${out} 1 PARENT_SCOPE)
    endif()
  endif()
endfunction()

# Fetches the npm package into a scratch folder, checks it and moves the
# verified sqlite-autoconf tarball to `target`.
function(_pellton_sqlite_fetch target)
  find_program(PELLTON_NPM npm)
  if(NOT PELLTON_NPM)
    message(FATAL_ERROR "SQLite: npm is needed to fetch ${PELLTON_SQLITE_NPM_PACKAGE} "
                        "(tools/setup-machine.sh installs it)")
  endif()
  string(RANDOM LENGTH 8 _tag)
  set(_scratch "${PELLTON_CACHE}/fetch-${_tag}")
  file(REMOVE_RECURSE "${_scratch}")
  file(MAKE_DIRECTORY "${_scratch}")
  message(STATUS "SQLite: fetching ${PELLTON_SQLITE_NPM_PACKAGE} from the npm registry")
  execute_process(
    COMMAND "${PELLTON_NPM}" pack "${PELLTON_SQLITE_NPM_PACKAGE}" --ignore-scripts
            --silent --pack-destination "${_scratch}"
    WORKING_DIRECTORY "${_scratch}"
    RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err
    TIMEOUT 600)
  file(GLOB _packages "${_scratch}/*.tgz")
  list(LENGTH _packages _count)
  if(NOT _rc EQUAL 0 OR NOT _count EQUAL 1)
    file(REMOVE_RECURSE "${_scratch}")
    message(FATAL_ERROR "SQLite: 'npm pack ${PELLTON_SQLITE_NPM_PACKAGE}' failed (${_rc}):\n${_err}${_out}")
  endif()
  file(SHA512 "${_packages}" _sum)
  if(NOT _sum STREQUAL PELLTON_SQLITE_NPM_SHA512)
    file(REMOVE_RECURSE "${_scratch}")
    message(FATAL_ERROR "SQLite: ${_packages} does not match the pinned SHA-512\n"
                        "  expected ${PELLTON_SQLITE_NPM_SHA512}\n  got      ${_sum}")
  endif()
  file(ARCHIVE_EXTRACT INPUT "${_packages}" DESTINATION "${_scratch}"
       PATTERNS "package/deps/${PELLTON_SQLITE_AUTOCONF}.tar.gz")
  set(_inner "${_scratch}/package/deps/${PELLTON_SQLITE_AUTOCONF}.tar.gz")
  if(NOT EXISTS "${_inner}")
    file(REMOVE_RECURSE "${_scratch}")
    message(FATAL_ERROR "SQLite: ${PELLTON_SQLITE_NPM_PACKAGE} holds no deps/${PELLTON_SQLITE_AUTOCONF}.tar.gz")
  endif()
  _pellton_sqlite_tarball_ok("${_inner}" _ok)
  if(NOT _ok)
    file(SHA256 "${_inner}" _sum)
    file(REMOVE_RECURSE "${_scratch}")
    message(FATAL_ERROR "SQLite: ${PELLTON_SQLITE_AUTOCONF}.tar.gz does not match the pinned SHA-256\n"
                        "  expected ${PELLTON_SQLITE_SHA256}\n  got      ${_sum}")
  endif()
  # A rename within one folder: other builds see the whole file or none.
  file(RENAME "${_inner}" "${target}")
  file(REMOVE_RECURSE "${_scratch}")
endfunction()

set(_sqlite_tarball "${PELLTON_CACHE}/${PELLTON_SQLITE_AUTOCONF}.tar.gz")
set(_sqlite_dir "${CMAKE_BINARY_DIR}/sqlite")
set(_sqlite_stamp "${_sqlite_dir}/.extracted-${PELLTON_SQLITE_SHA256}")

if(NOT EXISTS "${_sqlite_stamp}")
  file(MAKE_DIRECTORY "${PELLTON_CACHE}")
  # Several build folders may configure at once and share the cache.
  file(LOCK "${PELLTON_CACHE}/sqlite.lock" GUARD FILE TIMEOUT 900 RESULT_VARIABLE _lock)
  if(NOT _lock EQUAL 0)
    message(FATAL_ERROR "SQLite: cannot lock ${PELLTON_CACHE}/sqlite.lock: ${_lock}")
  endif()
  _pellton_sqlite_tarball_ok("${_sqlite_tarball}" _ok)
  if(NOT _ok)
    if(EXISTS "${_sqlite_tarball}")
      message(STATUS "SQLite: the cached ${PELLTON_SQLITE_AUTOCONF}.tar.gz fails its checksum; fetching it again")
      file(REMOVE "${_sqlite_tarball}")
    endif()
    _pellton_sqlite_fetch("${_sqlite_tarball}")
  endif()
  # Checked once more right before use: the cache is shared.
  _pellton_sqlite_tarball_ok("${_sqlite_tarball}" _ok)
  if(NOT _ok)
    message(FATAL_ERROR "SQLite: ${_sqlite_tarball} does not match the pinned SHA-256")
  endif()
  file(REMOVE_RECURSE "${_sqlite_dir}")
  file(ARCHIVE_EXTRACT INPUT "${_sqlite_tarball}" DESTINATION "${_sqlite_dir}/unpack"
       PATTERNS "${PELLTON_SQLITE_AUTOCONF}/sqlite3.c" "${PELLTON_SQLITE_AUTOCONF}/sqlite3.h"
                "${PELLTON_SQLITE_AUTOCONF}/sqlite3ext.h")
  file(LOCK "${PELLTON_CACHE}/sqlite.lock" RELEASE)
  foreach(_f sqlite3.c sqlite3.h sqlite3ext.h)
    if(NOT EXISTS "${_sqlite_dir}/unpack/${PELLTON_SQLITE_AUTOCONF}/${_f}")
      message(FATAL_ERROR "SQLite: ${PELLTON_SQLITE_AUTOCONF}.tar.gz holds no ${_f}")
    endif()
    file(RENAME "${_sqlite_dir}/unpack/${PELLTON_SQLITE_AUTOCONF}/${_f}" "${_sqlite_dir}/${_f}")
  endforeach()
  file(REMOVE_RECURSE "${_sqlite_dir}/unpack")
  file(STRINGS "${_sqlite_dir}/sqlite3.h" _version_line REGEX "^#define SQLITE_VERSION +\"")
  if(NOT _version_line MATCHES "\"${PELLTON_SQLITE_VERSION}\"")
    message(FATAL_ERROR "SQLite: sqlite3.h is not version ${PELLTON_SQLITE_VERSION}: ${_version_line}")
  endif()
  file(TOUCH "${_sqlite_stamp}")
  message(STATUS "SQLite: ${PELLTON_SQLITE_VERSION} from ${_sqlite_tarball} (SHA-256 checked)")
endif()

# Third-party code: built without the project's warning flags.
add_library(sqlite3 STATIC "${_sqlite_dir}/sqlite3.c")
target_include_directories(sqlite3 SYSTEM PUBLIC "${_sqlite_dir}")
target_compile_definitions(sqlite3 PRIVATE
  SQLITE_THREADSAFE=1               # serialized: one connection may be shared by threads
  SQLITE_ENABLE_COLUMN_METADATA)    # sqlite3_column_origin_name16
