# The two day chart pages (walking 119, sleeping 116) and the Trends page
# (130) as resources.
#
# The repository keeps only the pages' own markup and chart settings
# (resources/charts/). The chart libraries, jQuery 1.8.2 and Highcharts 4.2.7
# with its exporting, offline-exporting and canvas tools modules, come from
# the npm registry: at configure time each package is taken from the cache
# outside the source tree, or fetched with "npm pack" into it, and checked
# against the SHA-512 below (the hex form of the registry's "integrity"
# value) before anything is extracted. At build time tools/chart-page.js
# writes every library into the pages, which therefore load nothing from
# anywhere, and resources/ChartPages.rc puts the finished pages into the
# resource object library.
#
# Included at the end of resources/CMakeLists.txt, after pellton_resources
# has been declared.

set(PELLTON_JQUERY_NPM_PACKAGE jquery@1.8.2)
set(PELLTON_JQUERY_NPM_SHA512
    77785bfa32aa22b72b611510ce1e8f809e8c54b8f3c197fb36262ec5eeea2a6f9c846703fa0f4af65e2dffd2e6bead867092b81f35b652e99b77418ab6b668c8)
set(PELLTON_HIGHCHARTS_NPM_PACKAGE highcharts@4.2.7)
set(PELLTON_HIGHCHARTS_NPM_SHA512
    b9988a4c7431ba42a94b2cc8430ce6bacc72ca9d9307b6d12d0320699acd2482d6b044834916f75dce69cb69b226c058231498756c11b61d2857c0527bdb8fbc)

if(NOT PELLTON_CACHE)
  if(DEFINED ENV{PELLTON_CACHE} AND NOT "$ENV{PELLTON_CACHE}" STREQUAL "")
    set(PELLTON_CACHE "$ENV{PELLTON_CACHE}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(PELLTON_CACHE "$ENV{XDG_CACHE_HOME}/pellton")
  else()
    set(PELLTON_CACHE "$ENV{HOME}/.cache/pellton")
  endif()
endif()

# 1 in `out` when `file` exists and has the expected SHA-512.
function(_pellton_npm_tarball_ok file sha512 out)
  set(${out} 0 PARENT_SCOPE)
  if(EXISTS "${file}")
    file(SHA512 "${file}" _sum)
    if(_sum STREQUAL sha512)
      set(${out} 1 PARENT_SCOPE)
    endif()
  endif()
endfunction()

# pellton_npm_tarball(<name@version> <sha512> <out-var>)
# The path of the package's verified tarball in the cache, fetched with
# "npm pack" when missing or damaged. Several build folders may configure at
# once and share the cache: one lock per package keeps them apart, and a
# fetched tarball only appears under its final name after its check.
function(pellton_npm_tarball package sha512 out)
  string(REGEX REPLACE "[@/]" "-" _stem "${package}")
  string(REGEX REPLACE "^-" "" _stem "${_stem}")
  set(_tarball "${PELLTON_CACHE}/${_stem}.tgz")
  file(MAKE_DIRECTORY "${PELLTON_CACHE}")
  file(LOCK "${PELLTON_CACHE}/${_stem}.lock" GUARD FUNCTION TIMEOUT 900 RESULT_VARIABLE _lock)
  if(NOT _lock EQUAL 0)
    message(FATAL_ERROR "${package}: cannot lock ${PELLTON_CACHE}/${_stem}.lock: ${_lock}")
  endif()
  _pellton_npm_tarball_ok("${_tarball}" "${sha512}" _ok)
  if(NOT _ok)
    if(EXISTS "${_tarball}")
      message(STATUS "${package}: the cached tarball fails its checksum; fetching it again")
      file(REMOVE "${_tarball}")
    endif()
    find_program(PELLTON_NPM npm)
    if(NOT PELLTON_NPM)
      message(FATAL_ERROR "${package}: npm is needed to fetch it (tools/setup-machine.sh installs it)")
    endif()
    string(RANDOM LENGTH 8 _tag)
    set(_scratch "${PELLTON_CACHE}/fetch-${_tag}")
    file(REMOVE_RECURSE "${_scratch}")
    file(MAKE_DIRECTORY "${_scratch}")
    message(STATUS "${package}: fetching it from the npm registry")
    execute_process(
      COMMAND "${PELLTON_NPM}" pack "${package}" --ignore-scripts --silent
              --pack-destination "${_scratch}"
      WORKING_DIRECTORY "${_scratch}"
      RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err
      TIMEOUT 600)
    file(GLOB _packages "${_scratch}/*.tgz")
    list(LENGTH _packages _count)
    if(NOT _rc EQUAL 0 OR NOT _count EQUAL 1)
      file(REMOVE_RECURSE "${_scratch}")
      message(FATAL_ERROR "${package}: 'npm pack' failed (${_rc}):\n${_err}${_out}")
    endif()
    _pellton_npm_tarball_ok("${_packages}" "${sha512}" _ok)
    if(NOT _ok)
      file(SHA512 "${_packages}" _sum)
      file(REMOVE_RECURSE "${_scratch}")
      message(FATAL_ERROR "${package}: the fetched tarball does not match the pinned SHA-512\n"
                          "  expected ${sha512}\n  got      ${_sum}")
    endif()
    # A rename within one file system: others see the whole file or none.
    file(RENAME "${_packages}" "${_tarball}")
    file(REMOVE_RECURSE "${_scratch}")
  endif()
  set(${out} "${_tarball}" PARENT_SCOPE)
endfunction()

# pellton_npm_extract(<name@version> <sha512> <destination> <package files>...)
# Extracts the named files (paths inside the package's "package/" folder)
# into the destination once per checksum; the tarball is checked again
# right before use, since the cache is shared.
function(pellton_npm_extract package sha512 destination)
  set(_stamp "${destination}/.extracted-${sha512}")
  if(EXISTS "${_stamp}")
    return()
  endif()
  pellton_npm_tarball("${package}" "${sha512}" _tarball)
  _pellton_npm_tarball_ok("${_tarball}" "${sha512}" _ok)
  if(NOT _ok)
    message(FATAL_ERROR "${package}: ${_tarball} does not match the pinned SHA-512")
  endif()
  set(_patterns "")
  foreach(_f ${ARGN})
    list(APPEND _patterns "package/${_f}")
  endforeach()
  file(REMOVE_RECURSE "${destination}")
  file(ARCHIVE_EXTRACT INPUT "${_tarball}" DESTINATION "${destination}" PATTERNS ${_patterns})
  foreach(_f ${ARGN})
    if(NOT EXISTS "${destination}/package/${_f}")
      message(FATAL_ERROR "${package}: the package holds no ${_f}")
    endif()
  endforeach()
  file(TOUCH "${_stamp}")
  message(STATUS "${package}: extracted from ${_tarball} (SHA-512 checked)")
endfunction()

set(_chart_libs "${CMAKE_BINARY_DIR}/chart-libraries")
pellton_npm_extract(${PELLTON_JQUERY_NPM_PACKAGE} ${PELLTON_JQUERY_NPM_SHA512}
                    "${_chart_libs}/jquery" tmp/jquery.js)
pellton_npm_extract(${PELLTON_HIGHCHARTS_NPM_PACKAGE} ${PELLTON_HIGHCHARTS_NPM_SHA512}
                    "${_chart_libs}/highcharts" highcharts.js modules/exporting.js
                    modules/offline-exporting.js modules/canvas-tools.js)
# The npm package of jQuery 1.8.2 carries the browser build in tmp/.
file(STRINGS "${_chart_libs}/jquery/package/tmp/jquery.js" _jquery_version
     REGEX "jQuery JavaScript Library v" LIMIT_COUNT 1)
if(NOT _jquery_version MATCHES "v1\\.8\\.2$")
  message(FATAL_ERROR "jQuery: tmp/jquery.js is not 1.8.2: ${_jquery_version}")
endif()

find_program(PELLTON_NODE node)
if(NOT PELLTON_NODE)
  message(FATAL_ERROR "Chart pages: node is needed to build them (tools/setup-machine.sh installs it)")
endif()

set(PELLTON_CHART_PAGES_DIR "${CMAKE_CURRENT_BINARY_DIR}/charts" CACHE INTERNAL
    "Folder of the finished chart pages")
set(_chart_src "${PROJECT_SOURCE_DIR}/resources/charts")
set(_hc "${_chart_libs}/highcharts/package")
set(_chart_lib_args
    "jquery=${_chart_libs}/jquery/package/tmp/jquery.js"
    "highcharts=${_hc}/highcharts.js"
    "exporting=${_hc}/modules/exporting.js"
    "offline-exporting=${_hc}/modules/offline-exporting.js"
    "canvas-tools=${_hc}/modules/canvas-tools.js")
set(_chart_lib_files
    "${_chart_libs}/jquery/package/tmp/jquery.js" "${_hc}/highcharts.js"
    "${_hc}/modules/exporting.js" "${_hc}/modules/offline-exporting.js"
    "${_hc}/modules/canvas-tools.js")
file(GLOB _chart_shared CONFIGURE_DEPENDS "${_chart_src}/*.js" "${_chart_src}/*.css")

set(_chart_pages "")
foreach(_page walking sleeping trends)
  if(_page STREQUAL "walking")
    set(_expect --expect "***TITLE***" --expect "***DATE***"
                --expect "***DATA_DISTANCE***" --expect "***DATA_CALORIES***")
    set(_out "${PELLTON_CHART_PAGES_DIR}/ChartWalking.html")
  elseif(_page STREQUAL "trends")
    set(_expect --expect "***TRENDS***")
    set(_out "${PELLTON_CHART_PAGES_DIR}/ChartTrends.html")
  else()
    set(_expect --expect "***TITLE***" --expect "***DATE***" --expect "***DATA***")
    set(_out "${PELLTON_CHART_PAGES_DIR}/ChartSleeping.html")
  endif()
  add_custom_command(
    OUTPUT "${_out}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PELLTON_CHART_PAGES_DIR}"
    COMMAND "${PELLTON_NODE}" "${PROJECT_SOURCE_DIR}/tools/chart-page.js"
            "${_chart_src}/${_page}.html" "${_out}" ${_chart_lib_args} ${_expect}
    DEPENDS "${_chart_src}/${_page}.html" ${_chart_shared} ${_chart_lib_files}
            "${PROJECT_SOURCE_DIR}/tools/chart-page.js"
    COMMENT "Building the ${_page} chart page"
    VERBATIM)
  list(APPEND _chart_pages "${_out}")
endforeach()
add_custom_target(pellton_chart_pages DEPENDS ${_chart_pages})

set(_chart_rc "${PROJECT_SOURCE_DIR}/resources/ChartPages.rc")
target_sources(pellton_resources PRIVATE "${_chart_rc}")
# The resource compiler finds the pages in the build folder, and recompiles
# when they change.
set_source_files_properties("${_chart_rc}" PROPERTIES
  OBJECT_DEPENDS "${_chart_pages}"
  INCLUDE_DIRECTORIES "${PELLTON_CHART_PAGES_DIR};${PROJECT_SOURCE_DIR}")
add_dependencies(pellton_resources pellton_chart_pages)
