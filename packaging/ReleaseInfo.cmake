# The newest entry of CHANGELOG.md must be the project's version; its date becomes the
# release date of the metainfo file and the package changelog.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ORVEX_CHANGELOG_HEADS REGEX "^## ")
list(GET ORVEX_CHANGELOG_HEADS 0 ORVEX_NEWEST_RELEASE)
if(NOT ORVEX_NEWEST_RELEASE MATCHES "^## ([^ ]+) \\(([0-9]+-[0-9]+-[0-9]+)\\)$")
  message(FATAL_ERROR "CHANGELOG.md: the newest entry must read '## VERSION (YYYY-MM-DD)'")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's newest entry is ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}")
endif()
set(ORVEX_RELEASE_DATE ${CMAKE_MATCH_2})
