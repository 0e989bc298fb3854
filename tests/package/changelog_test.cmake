# Table tests of cmake/changelog.cmake, the reading of CHANGELOG.md for the
# package. Run with: cmake -DSOURCE_DIR=<source folder> -P changelog_test.cmake
# Every mismatch is reported; the exit status is 1 when there was one.
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/cmake/changelog.cmake)

function(expect_equal what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}\n--- expected ---\n${expected}\n--- actual ---\n${actual}\n---")
  endif()
endfunction()

# --- dates -------------------------------------------------------------------
# Each row: date text, then seconds since 1970 (from `date -u -d DATE +%s`),
# or "none" for a text that is no date.
set(date_rows
  "1970-01-01=0"
  "1970-01-02=86400"
  "2000-02-29=951782400"
  "2000-03-01=951868800"
  "2000-12-31=978220800"
  "2024-02-29=1709164800"
  "2026-12-07=1796601600"
  "2038-01-19=2147472000"
  "1999-02-29=none"
  "2100-02-29=none"
  "2026-04-31=none"
  "2026-13-01=none"
  "2026-00-10=none"
  "2026-12-00=none"
  "2026-1-01=none"
  "26-12-07=none"
  "2026-12-07x=none"
  "unreleased=none"
  "=none")
foreach(row IN LISTS date_rows)
  string(REGEX MATCH "^([^=]*)=(.*)$" row "${row}")
  set(date "${CMAKE_MATCH_1}")
  set(expected "${CMAKE_MATCH_2}")
  if(expected STREQUAL "none")
    set(expected "")
  endif()
  vorna_date_epoch("${date}" epoch)
  expect_equal("vorna_date_epoch(${date})" "${epoch}" "${expected}")
endforeach()

# --- formatting a moment, and leaving SOURCE_DATE_EPOCH as it was -------------
set(ENV{SOURCE_DATE_EPOCH} 42)
vorna_format_epoch(1796638780 "%a, %d %b %Y %H:%M:%S +0000" text)
expect_equal("vorna_format_epoch, RFC 2822" "${text}" "Mon, 07 Dec 2026 10:19:40 +0000")
expect_equal("SOURCE_DATE_EPOCH after vorna_format_epoch" "$ENV{SOURCE_DATE_EPOCH}" "42")
unset(ENV{SOURCE_DATE_EPOCH})
vorna_format_epoch(951782400 "%Y-%m-%d %a %b" text)
expect_equal("vorna_format_epoch, leap day" "${text}" "2000-02-29 Tue Feb")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  message(SEND_ERROR "vorna_format_epoch left SOURCE_DATE_EPOCH set: $ENV{SOURCE_DATE_EPOCH}")
endif()

# --- the newest entry ----------------------------------------------------------
set(newest_rows
  "# Changelog\n\n## [0.1.0] - unreleased\n\n## [0.0.9] - 2026-01-02\n=0.1.0|unreleased"
  "## [1.2.3] - 2026-12-07  \n=1.2.3|2026-12-07"
  "Intro naming ## [9.9] - 2026-01-01 in a sentence\n## [2.0] - 2026-03-04\n=2.0|2026-03-04"
  "# Changelog\n\nNo entry yet.\n=|"
  "## 0.1.0 - unreleased\n=|")
foreach(row IN LISTS newest_rows)
  string(REGEX MATCH "^(.*)=([^=|]*)\\|([^=|]*)$" row "${row}")
  set(markdown "${CMAKE_MATCH_1}")
  set(expected "${CMAKE_MATCH_2}|${CMAKE_MATCH_3}")
  vorna_changelog_newest("${markdown}" version date)
  expect_equal("vorna_changelog_newest(${markdown})" "${version}|${date}" "${expected}")
endforeach()

# --- the Debian changelog --------------------------------------------------------
set(maintainer "A Maintainer <a@example.invalid>")
set(unreleased 1796638780)

# Each case: a name, the Markdown, the Debian changelog expected.
set(case_names)
function(changelog_case name markdown expected)
  set(case_names ${case_names} ${name} PARENT_SCOPE)
  set(markdown_${name} "${markdown}" PARENT_SCOPE)
  set(expected_${name} "${expected}" PARENT_SCOPE)
endfunction()

changelog_case(one_item [=[
# Changelog

Introduction, never copied.

## [0.1.0] - unreleased

### Added

- The first feature.
]=] [=[
vorna (0.1.0) UNRELEASED; urgency=medium

  Added:
  * The first feature.

 -- A Maintainer <a@example.invalid>  Mon, 07 Dec 2026 10:19:40 +0000
]=])

changelog_case(entries_kinds_and_continuations [=[
## [0.2.0] - unreleased

### Added

- A feature whose description goes on
  over a second line.
- Another one.

### Fixed

- A fault.

## [0.1.0] - 2026-02-28

### Added

- Everything.
]=] [=[
vorna (0.2.0) UNRELEASED; urgency=medium

  Added:
  * A feature whose description goes on over a second line.
  * Another one.

  Fixed:
  * A fault.

 -- A Maintainer <a@example.invalid>  Mon, 07 Dec 2026 10:19:40 +0000

vorna (0.1.0) unstable; urgency=medium

  Added:
  * Everything.

 -- A Maintainer <a@example.invalid>  Sat, 28 Feb 2026 00:00:00 +0000
]=])

# 78 characters at most: "  * " and 74 characters of words fill a line.
changelog_case(wrapping [=[
## [1.0] - unreleased

- aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhh iiiiiiiii
- xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx y
]=] [=[
vorna (1.0) UNRELEASED; urgency=medium

  * aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhh
    iiiiiiiii
  * xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx
    y

 -- A Maintainer <a@example.invalid>  Mon, 07 Dec 2026 10:19:40 +0000
]=])

# Characters CMake lists treat specially pass through, and count once each
# when a line is measured: the second item is exactly 78 characters long.
changelog_case(special_characters [=[
## [1.0] - unreleased

- Port `\\.\COMn`; the [bracketed] text; a trailing backslash \
- [x]; [y]; [z]; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; end
]=] [=[
vorna (1.0) UNRELEASED; urgency=medium

  * Port `\\.\COMn`; the [bracketed] text; a trailing backslash \
  * [x]; [y]; [z]; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; \\; end

 -- A Maintainer <a@example.invalid>  Mon, 07 Dec 2026 10:19:40 +0000
]=])

changelog_case(paragraphs [=[
## [1.0] - unreleased

A paragraph before
the items.

- An item.
- Another item.

A closing paragraph.
]=] [=[
vorna (1.0) UNRELEASED; urgency=medium

  A paragraph before the items.

  * An item.
  * Another item.

  A closing paragraph.

 -- A Maintainer <a@example.invalid>  Mon, 07 Dec 2026 10:19:40 +0000
]=])

changelog_case(no_entry [=[
# Changelog

Nothing released yet.
]=] "")

foreach(name IN LISTS case_names)
  vorna_debian_changelog("${markdown_${name}}" vorna "${maintainer}" ${unreleased} text error)
  expect_equal("vorna_debian_changelog, ${name}: error" "${error}" "")
  expect_equal("vorna_debian_changelog, ${name}" "${text}" "${expected_${name}}")
endforeach()

# Headings it cannot read: the error names the line, and no text comes out.
set(error_rows
  "## 0.1.0 - unreleased\n=line 1: an entry's heading is \"## [version] - YYYY-MM-DD\" or \"## [version] - unreleased\", not \"## 0.1.0 - unreleased\""
  "## [0.2.0] - unreleased\n\n- x\n\n## [0.1.0]\n=line 5: an entry's heading is \"## [version] - YYYY-MM-DD\" or \"## [version] - unreleased\", not \"## [0.1.0]\""
  "# Changelog\n\n## [0.1.0] - 2026-02-30\n- x\n=line 3: \"2026-02-30\" is neither a date YYYY-MM-DD nor \"unreleased\""
  "## [0.1.0] - soon\n=line 1: \"soon\" is neither a date YYYY-MM-DD nor \"unreleased\"")
foreach(row IN LISTS error_rows)
  string(REGEX MATCH "^([^=]*)=(.*)$" row "${row}")
  set(markdown "${CMAKE_MATCH_1}")
  set(expected "${CMAKE_MATCH_2}")
  vorna_debian_changelog("${markdown}" vorna "${maintainer}" ${unreleased} text error)
  expect_equal("vorna_debian_changelog error for: ${markdown}" "${error}" "${expected}")
  expect_equal("vorna_debian_changelog text on error for: ${markdown}" "${text}" "")
endforeach()
