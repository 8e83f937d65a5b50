# The version of a build and the time stamp that makes it reproducible.
#
# cptoc_version(<version_var> <epoch_var> <release> <source_dir>)
#   <release>        the release number of project(VERSION), e.g. 1.1.0
#   <version_var>    set to the package version:
#                      1.1.0                  the commit is tagged v1.1.0 (or 1.1.0)
#                      1.1.0~git42.ab12cd3    a commit before that tag exists, i.e. on the
#                                             way to release 1.1.0 (sorts before 1.1.0)
#                      1.1.0+git57.0c1d2e3    a commit after the tag v1.1.0, before the
#                                             release number is raised (sorts after 1.1.0)
#                    42 is the number of commits up to this one, so of two commits in
#                    one history the later one always has the higher version
#                    (dpkg --compare-versions). Without git: the release number.
#   <epoch_var>      set to the time of the last commit in seconds (SOURCE_DATE_EPOCH);
#                    the environment's SOURCE_DATE_EPOCH wins when set; without git the
#                    time of the top CMakeLists.txt.
#
# Also usable as a script, which prints "<version> <epoch>":
#   cmake -DRELEASE=1.1.0 -DSOURCE_DIR=. -P packaging/version.cmake

cmake_policy(SET CMP0057 NEW)  # if(IN_LIST) in script mode too

function(cptoc_version version_var epoch_var release src)
  set(version ${release})
  set(epoch "")
  find_program(CPTOC_GIT git)
  if(CPTOC_GIT)
    execute_process(COMMAND ${CPTOC_GIT} -C ${src} rev-parse --show-toplevel
      OUTPUT_VARIABLE top RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # Only the project's own repository counts, not one that happens to contain
    # an unpacked source tree.
    if(rc EQUAL 0)
      file(REAL_PATH "${top}" top)
      file(REAL_PATH "${src}" real_src)
      if(NOT top STREQUAL real_src)
        set(rc 1)
      endif()
    endif()
  else()
    set(rc 1)
  endif()
  if(rc EQUAL 0)
    execute_process(COMMAND ${CPTOC_GIT} -C ${src} tag --points-at HEAD
      OUTPUT_VARIABLE here OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" here "${here}")
    if(NOT ("v${release}" IN_LIST here OR "${release}" IN_LIST here))
      execute_process(COMMAND ${CPTOC_GIT} -C ${src} rev-list --count HEAD
        OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE)
      execute_process(COMMAND ${CPTOC_GIT} -C ${src} rev-parse --short=7 HEAD
        OUTPUT_VARIABLE hash OUTPUT_STRIP_TRAILING_WHITESPACE)
      execute_process(COMMAND ${CPTOC_GIT} -C ${src} tag --merged HEAD
        OUTPUT_VARIABLE released OUTPUT_STRIP_TRAILING_WHITESPACE)
      string(REPLACE "\n" ";" released "${released}")
      set(sep "~")
      if("v${release}" IN_LIST released OR "${release}" IN_LIST released)
        set(sep "+")
      endif()
      set(version "${release}${sep}git${count}.${hash}")
    endif()
    execute_process(COMMAND ${CPTOC_GIT} -C ${src} log -1 --format=%ct HEAD
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
    # A commit or a checkout moves HEAD and writes its log: the next build
    # configures again and takes the new version.
    execute_process(COMMAND ${CPTOC_GIT} -C ${src} rev-parse --path-format=absolute --git-path logs/HEAD
      OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT CMAKE_SCRIPT_MODE_FILE AND EXISTS "${head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
    endif()
  endif()
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  elseif(epoch STREQUAL "")
    file(TIMESTAMP ${src}/CMakeLists.txt epoch "%s" UTC)
  endif()
  set(${version_var} ${version} PARENT_SCOPE)
  set(${epoch_var} ${epoch} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cptoc_version(v e ${RELEASE} ${SOURCE_DIR})
  message("${v} ${e}")
endif()
